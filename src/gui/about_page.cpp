#include "gui/about_page.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "gui/control_ids.h"
#include "resources/strings.h"
#include "gui/qt_person.h"

namespace tolva {

QString DocumentationFolder() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/tolva/doc"));
}

CAbout::CAbout(QWidget* parent) : PropertyPage(parent) {
    LoadPictures();
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/tolva/tolva-32.png")));
    auto* version = NewPlainLabel(UiText(IDS_UI_ABOUT_VERSION), this);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* notice = NewWrappedLabel(UiText(IDS_UI_ABOUT_NOTICE), this);
    auto* picture = new QLabel(this);
    picture->setPixmap(QPixmap(QStringLiteral(":/tolva/about.png")));
    picture->setAlignment(Qt::AlignRight | Qt::AlignTop);
    auto* description = NewWrappedLabel(UiText(IDS_UI_ABOUT_DESCRIPTION), this);

    auto* heading = new QGridLayout;
    heading->addWidget(icon, 0, 0, Qt::AlignTop);
    heading->addWidget(version, 0, 1);
    heading->addWidget(line, 1, 0, 1, 2);
    heading->addWidget(notice, 2, 1);
    heading->setColumnStretch(1, 1);
    auto* top = new QHBoxLayout;
    top->addLayout(heading, 1);
    top->addWidget(picture);

    struct Link {
        int id;
        int buttonText;
        int text;
        const char* page;
    };
    const Link links[] = {
        {control::kAboutHome, IDS_UI_ABOUT_HOME, IDS_UI_ABOUT_HOME_TEXT, "home.html"},
        {control::kAboutCommunications, IDS_UI_ABOUT_COMMUNICATIONS, IDS_UI_ABOUT_COMMUNICATIONS_TEXT, "communications.html"},
        {control::kAboutDedication, IDS_UI_ABOUT_DEDICATION, IDS_UI_ABOUT_DEDICATION_TEXT, "dedication.html"},
    };
    auto* buttons = new QGridLayout;
    int row = 0;
    for (const Link& link : links) {
        auto* button = new QPushButton(UiText(link.buttonText), this);
        button->setObjectName(QString::number(link.id));
        const QString page = QString::fromLatin1(link.page);
        connect(button, &QPushButton::clicked, this, [this, page] { OnOpenWebPage(page); });
        buttons->addWidget(button, row, 0);
        buttons->addWidget(NewWrappedLabel(UiText(link.text), this), row, 1);
        // The home page stands apart from the two buttons below it: leave an empty row.
        row += row == 0 ? 2 : 1;
    }
    buttons->setColumnStretch(1, 1);
    buttons->setRowMinimumHeight(1, 24);
    buttons->setVerticalSpacing(10);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(36, 0, 0, 0);
    body->addWidget(description);
    body->addSpacing(12);
    body->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(body);
    layout->addStretch(1);
}

void CAbout::OnOpenWebPage(const QString& page) {
    // Failures to open are not reported: there is nothing the person could do about them here.
    QDesktopServices::openUrl(QUrl::fromLocalFile(DocumentationFolder() + QLatin1Char('/') + page));
}

}  // namespace tolva
