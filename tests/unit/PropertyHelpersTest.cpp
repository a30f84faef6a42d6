#include "convert/PropertyHelpers.h"
#include "tests/support/ConvertFixtures.h"

#include <gtest/gtest.h>

// libical 3.0 prints a DATE held in a DATE-TIME value as 00000000T000000, losing the date.
TEST(PropertyHelpersTest, TimePropertyKeepsADate) {
    IcalPtr todo(icalcomponent_new_vtodo());
    AddTimeProperty(todo.get(), ICAL_DUE_PROPERTY, MakeTime(2012, 5, 2, 0, 0, 0, false, true));
    AddTimeProperty(todo.get(), ICAL_DTSTART_PROPERTY, MakeTime(2012, 5, 1, 8, 0, 0));
    EXPECT_EQ(PropertyLine(todo.get(), ICAL_DUE_PROPERTY), "DUE;VALUE=DATE:20120502");
    EXPECT_EQ(PropertyLine(todo.get(), ICAL_DTSTART_PROPERTY), "DTSTART:20120501T080000Z");
}

TEST(PropertyHelpersTest, TextUrlAndXProperties) {
    IcalPtr todo(icalcomponent_new_vtodo());
    AddTextProperty(todo.get(), ICAL_SUMMARY_PROPERTY, wxString::FromUTF8("Caf\xC3\xA9; a,b"));
    AddTextProperty(todo.get(), ICAL_URL_PROPERTY, wxT("http://example.com/a,b;c"));
    AddXProperty(todo.get(), "X-CORVANE-RTM-DATA-ID", wxT("first"));
    AddXProperty(todo.get(), "X-CORVANE-RTM-DATA-ID", wxT("second"));
    EXPECT_EQ(PropertyLine(todo.get(), ICAL_SUMMARY_PROPERTY), "SUMMARY:Caf\xC3\xA9\\; a\\,b");
    EXPECT_EQ(PropertyLine(todo.get(), ICAL_URL_PROPERTY),
              "URL:http://example.com/a,b;c");  // a URI, not text
    EXPECT_EQ(GetXProperty(todo.get(), "X-CORVANE-RTM-DATA-ID"), wxT("first"));
    EXPECT_EQ(GetXProperty(todo.get(), "x-corvane-rtm-data-id"), wxString());
    EXPECT_EQ(FromUtf8("M\xC3\xBCller"), wxString::FromUTF8("M\xC3\xBCller"));
    EXPECT_EQ(FromUtf8(nullptr), wxString());
}
