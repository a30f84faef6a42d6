#include "convert/PropertyHelpers.h"
#include "tests/support/ConvertFixtures.h"

#include <gtest/gtest.h>

TEST(PropertyHelpersTest, TimePropertyKeepsADate) {
    IcalPtr todo(icalcomponent_new_vtodo());
    AddTimeProperty(todo.get(), ICAL_DUE_PROPERTY, MakeTime(2012, 5, 2, 0, 0, 0, false, true));
    AddTimeProperty(todo.get(), ICAL_DTSTART_PROPERTY, MakeTime(2012, 5, 1, 8, 0, 0));
    const std::string text = IcalText(todo.get());
    // A DATE in a DATE-TIME value would print as 00000000T000000.
    EXPECT_NE(text.find("DUE;VALUE=DATE:20120502\n"), std::string::npos) << text;
    EXPECT_NE(text.find("DTSTART:20120501T080000Z\n"), std::string::npos) << text;
    IcalPtr reread = ParseTodo(text);
    const icaltimetype due = icalcomponent_get_due(reread.get());
    EXPECT_TRUE(due.is_date);
    EXPECT_EQ(due.day, 2);
}

TEST(PropertyHelpersTest, TextUrlAndXProperties) {
    IcalPtr todo(icalcomponent_new_vtodo());
    AddTextProperty(todo.get(), ICAL_SUMMARY_PROPERTY, wxString::FromUTF8("Caf\xC3\xA9; a,b"));
    AddTextProperty(todo.get(), ICAL_URL_PROPERTY, wxT("http://example.com/a,b;c"));
    AddXProperty(todo.get(), "X-CORVANE-RTM-DATA-ID", wxT("first"));
    AddXProperty(todo.get(), "X-CORVANE-RTM-DATA-ID", wxT("second"));
    const std::string text = IcalText(todo.get());
    EXPECT_NE(text.find("SUMMARY:Caf\xC3\xA9\\; a\\,b\n"), std::string::npos) << text;
    // A URI is not escaped as text would be.
    EXPECT_NE(text.find("URL:http://example.com/a,b;c\n"), std::string::npos) << text;
    EXPECT_EQ(GetXProperty(todo.get(), "X-CORVANE-RTM-DATA-ID"), wxT("first"));
    EXPECT_EQ(GetXProperty(todo.get(), "x-corvane-rtm-data-id"), wxString());
    EXPECT_EQ(GetXProperty(nullptr, "X-A"), wxString());
}

TEST(PropertyHelpersTest, FromUtf8) {
    EXPECT_EQ(FromUtf8(nullptr), wxString());
    EXPECT_EQ(FromUtf8(""), wxString());
    EXPECT_EQ(FromUtf8("M\xC3\xBCller"), wxString::FromUTF8("M\xC3\xBCller"));
}
