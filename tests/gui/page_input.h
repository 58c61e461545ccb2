#pragma once
// Input as a person gives it to a page in GUI tests: typing into a location box, dropping
// files on a control.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <string>

#include "gui/qt_location_box.h"

namespace tolva::testing {

// Types into box as a person does: focus, select what is there, type, then Enter.
inline void TypeAndEnter(LocationCombo* box, const std::string& text) {
    box->setFocus();
    QWidget* typing = QApplication::focusWidget();
    ASSERT_TRUE(typing == box || typing == box->lineEdit());
    QTest::keyClick(typing, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(typing, Qt::Key_Backspace);
    QTest::keyClicks(typing, QString::fromStdString(text));
    QTest::keyClick(typing, Qt::Key_Return);
}

// Drags urls over target and drops them there when it takes them.
inline void Drop(QWidget* target, const QList<QUrl>& urls, bool expectAccepted) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint middle = target->rect().center();
    QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_EQ(enter.isAccepted(), expectAccepted) << urls.front().toString().toStdString();
    if (!enter.isAccepted()) return;
    QDropEvent drop(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

inline void Drop(QWidget* target, const QUrl& url, bool expectAccepted) {
    Drop(target, QList<QUrl>{url}, expectAccepted);
}

}  // namespace tolva::testing
