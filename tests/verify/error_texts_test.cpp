#include "verify/error_texts.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include "verify/request_errors.h"

namespace tolva {
namespace {

TEST(ErrorTexts, HttpStatusesUseTheirTextOrTheNumber) {
    const std::pair<long, std::string> rows[] = {
        {404, "Page not found"},
        {405, "Method not allowed"},
        {410, "Gone"},
        {429, "Too many requests"},
        {502, "Bad gateway"},
        {503, "Service unavailable"},
        {504, "Gateway timeout"},
        {418, "Error #418"},
        {599, "Error #599"},
        {200, "Error #200"},
        {101, "Error #101"},  // shares its id with a recent-location key, which is no error text
        {0, "Error #0"},
        {59150 - 40000, "Error #19150"},
    };
    for (const auto& [status, text] : rows) EXPECT_EQ(HttpErrorText(status), text) << status;
}

TEST(ErrorTexts, ErrorNumbersAndServerRefusalsUseTheirTextOrTheNumber) {
    const std::pair<unsigned, std::string> rows[] = {
        {12007, "Host not found"},
        {12002, "Connection timed out"},
        {12029, "Cannot connect"},
        {12031, "Connection reset"},
        {12152, "Invalid reply"},
        {12156, "Too many redirects"},
        {12045, "Certificate not trusted"},
        {550, "File not available"},
        {530, "Not logged in"},
        {418, "Error #418"},
        {12999, "Error #12999"},
        {59150, "Error #59150"},
    };
    for (const auto& [error, text] : rows) EXPECT_EQ(RequestErrorText(error), text) << error;
}

TEST(ErrorTexts, CurlResultsMapToErrorNumbers) {
    struct Row {
        int curlCode;
        long serverCode;
        unsigned error;
    };
    // Written out, because error folders are named by these outcomes: a changed mapping shows here.
    const Row rows[] = {
        {6, 0, 12007},  {7, 0, 12029},    {28, 0, 12002}, {3, 0, 12005},    {1, 0, 12006},
        {47, 0, 12156}, {52, 0, 12030},   {8, 0, 12152},  {55, 0, 12031},   {56, 0, 12031},
        {35, 0, 12157}, {60, 0, 12045},   {67, 0, 12015}, {78, 550, 550},   {9, 530, 530},
        {19, 0, 12003}, {78, 250, 12003}, {42, 0, 12004}, {99, 0, 12004},   {5, 0, 12165},
        {13, 0, 12111}, {98, 0, 12044},   {18, 0, 12152}, {9, 1200, 12003}, {27, 0, 12152},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(request_error::ErrorNumberForCurlCode(row.curlCode, row.serverCode), row.error) << row.curlCode;
    }
}

TEST(ErrorTexts, EveryCurlResultNamesAFolderTheShortcutWriterCanCreate) {
    for (int code = 1; code < CURL_LAST; ++code) {
        for (long serverCode : {0L, 550L}) {
            std::string text = RequestErrorText(request_error::ErrorNumberForCurlCode(code, serverCode));
            EXPECT_FALSE(text.starts_with("Error #")) << code << " " << serverCode;
        }
    }
    // Error texts become folder names, on disk too: none may hold what a file name cannot.
    for (long number = 400; number < 600; ++number) {
        for (const std::string& text : {HttpErrorText(number), RequestErrorText(static_cast<unsigned>(number))}) {
            EXPECT_EQ(text.find_first_of("\\/:*?\"<>|"), std::string::npos) << text;
        }
    }
    for (unsigned number = request_error::kFirstRequestError; number < request_error::kEndRequestErrors; ++number) {
        EXPECT_EQ(RequestErrorText(number).find_first_of("\\/:*?\"<>|"), std::string::npos) << number;
    }
}

}  // namespace
}  // namespace tolva
