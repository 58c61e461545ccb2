#include "verify/error_texts.h"

#include <gtest/gtest.h>

namespace tolva {
namespace {

TEST(ErrorTexts, HttpStatusesUseTheirTextOrTheNumber) {
    const std::pair<long, std::string> rows[] = {
        {404, "Page not found"},
        {405, "Error #405"},
        {503, "Gateway timeout"},
        {502, "Server temporarily overloaded"},
        {410, "Error #410"},
        {200, "Error #200"},
        {0, "Error #0"},  // an id that names no error text must not borrow another text
        {59150 - 40000, "Error #19150"},
    };
    for (const auto& [status, text] : rows) EXPECT_EQ(HttpErrorText(status), text) << status;
}

TEST(ErrorTexts, ErrorNumbersUseTheirTextOrTheNumber) {
    const std::pair<unsigned, std::string> rows[] = {
        {12007, "Host not found"},
        {12002, "Connection timed out"},
        {12006, "Protocol not supported"},
        {12029, "Error #12029"},
        {550, "Error #550"},
        {59150, "Error #59150"},
    };
    for (const auto& [error, text] : rows) EXPECT_EQ(RequestErrorText(error), text) << error;
}

}  // namespace
}  // namespace tolva
