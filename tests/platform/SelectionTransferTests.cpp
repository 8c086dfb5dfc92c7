#include "platform/x11/SelectionTransfer.h"

#include <gtest/gtest.h>

using namespace orv;

TEST(SelectionTransfer, TextIsUtf8WithoutNulBytes) {
    for (const QByteArray& text :
         {QByteArray("hola"), QByteArray(), QByteArray("árbol, 木, \xF0\x9F\x99\x82 y \r\n")}) {
        EXPECT_EQ(whyNotText(text, true, false), nullptr) << text.constData();
    }
    // What Weston's bridge offers as UTF8_STRING for a copied PNG.
    const QByteArray png("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16);
    EXPECT_STREQ(whyNotText(png, true, false), "it holds a NUL byte");
    EXPECT_STREQ(whyNotText(QByteArray("a\0b", 3), false, false), "it holds a NUL byte");
    EXPECT_STREQ(whyNotText("\x89PNG\r\n", true, false), "it is not UTF-8");
    EXPECT_STREQ(whyNotText("caf\xE9", true, false), "it is not UTF-8");
    EXPECT_EQ(whyNotText("caf\xE9", false, false), nullptr) << "Latin-1 for STRING";
    // A character cut where the read stopped is no fault; left open at the end of a whole answer,
    // it is.
    EXPECT_EQ(whyNotText("a\xF0\x9F\x99", true, true), nullptr);
    EXPECT_STREQ(whyNotText("a\xF0\x9F\x99", true, false), "it is not UTF-8");
}
