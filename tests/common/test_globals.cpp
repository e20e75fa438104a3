// Message boxes answered through the modal seam, and the digit test.

#include "common/M_globals.h"
#include "platform/Dialogs.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class MessageBoxes : public ::testing::Test {
protected:
    void SetUp() override
    {
        fw::ModalSeam::setMessageHandler([this](const fw::MessageRequest& request) {
            shown.push_back(request);
            return press;
        });
    }
    void TearDown() override { fw::ModalSeam::reset(); }

    QString press;
    std::vector<fw::MessageRequest> shown;
};

struct GenericCase {
    const char* label;
    const char* alternate;
    const char* press;
    int result;
    QStringList buttons;
};

TEST_F(MessageBoxes, DialogGenericReportsThePressedButton)
{
    const GenericCase cases[] = {
        {"two buttons, action", "", "Replace", 1, {"Replace", "Cancel"}},
        {"two buttons, cancel", "", "Cancel", 0, {"Replace", "Cancel"}},
        {"two buttons, dismissed", "", "", 0, {"Replace", "Cancel"}},
        {"three buttons, action", "Keep Both", "Replace", 1, {"Replace", "Keep Both", "Cancel"}},
        {"three buttons, alternate", "Keep Both", "Keep Both", 2, {"Replace", "Keep Both", "Cancel"}},
        {"three buttons, cancel", "Keep Both", "Cancel", 0, {"Replace", "Keep Both", "Cancel"}},
        {"three buttons, dismissed", "Keep Both", "", 0, {"Replace", "Keep Both", "Cancel"}},
        {"a button the box does not show", "", "Keep Both", 0, {"Replace", "Cancel"}},
    };
    for (const GenericCase& c : cases) {
        SCOPED_TRACE(c.label);
        shown.clear();
        press = QString::fromLatin1(c.press);
        const int result = M_globals::dialogGeneric(QStringLiteral("The file exists."), QStringLiteral("Replace it?"),
                                                    QStringLiteral("Replace"), QString::fromLatin1(c.alternate),
                                                    QStringLiteral("Cancel"));
        EXPECT_EQ(result, c.result);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].buttons, c.buttons);
        EXPECT_EQ(shown[0].message, QStringLiteral("The file exists."));
        EXPECT_EQ(shown[0].explanation, QStringLiteral("Replace it?"));
        EXPECT_TRUE(shown[0].caution);
    }
}

TEST_F(MessageBoxes, DialogConfirmIsTrueOnlyForConfirm)
{
    const struct {
        const char* press;
        bool result;
    } cases[] = {{"Confirm", true}, {"Cancel", false}, {"", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.press);
        shown.clear();
        press = QString::fromLatin1(c.press);
        EXPECT_EQ(M_globals::dialogConfirm(QStringLiteral("Clear all selections?"), QString()), c.result);
        // One box only: no further message follows any answer.
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].buttons, (QStringList{"Confirm", "Cancel"}));
        EXPECT_EQ(shown[0].message, QStringLiteral("Clear all selections?"));
    }
}

TEST(DigitTest, AcceptsOnlyTheTenAsciiDigits)
{
    const struct {
        const char* text;
        bool digits;
    } cases[] = {
        {"", true},
        {"0", true},
        {"0123456789", true},
        {"007", true},
        {"12345678901", true}, // beyond int32: the test does not convert
        {"12a", false},
        {"a12", false},
        {"-3", false},
        {"+3", false},
        {" 7", false},
        {"7 ", false},
        {"3.5", false},
        {"1,000", false},
        {"\xD9\xA1\xD9\xA2", false},         // Arabic-Indic digits one and two
        {"\xEF\xBC\x91\xEF\xBC\x92", false}, // full-width digits one and two
        {"\xC2\xB2", false},                 // superscript two
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(M_globals::isDigit(QString::fromUtf8(c.text)), c.digits);
    }
}

} // namespace
