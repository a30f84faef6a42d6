// `settings CAL [--list NAME] [--poll MIN] [--suppress-errors on/off] [--offline on/off]`: shows the
// calendar's settings page and applies the given values through its rows, as the host's page does.
#include "host/CommandRegistry.h"
#include "host/HostSession.h"
#include "plugin/CalendarHandler.h"
#include "plugin/Settings.h"

#include <cstdio>

namespace {
void PrintRows(CCalendarHandler& handler) {
    SettingsRow** rows = handler.GetSettings(false);
    std::printf("Calendar: %s\n", static_cast<const char*>(handler.GetName().utf8_str()));
    std::printf("Display name: %s\n", static_cast<const char*>(handler.GetDisplayName().utf8_str()));
    for (SettingsRow** row = rows; row && *row; ++row) {
        const SettingsRow& r = **row;
        wxString line = r.label + wxT(": ");
        if (r.type == ROW_TEXT) {
            line += wxT("\"") + r.value + wxT("\"");
        } else if (r.type == ROW_CHECK) {
            line += r.ticked ? wxT("[x]") : wxT("[ ]");
        } else if (r.type == ROW_CHOICE) {
            for (size_t i = 0; i < r.choices.size(); ++i) {
                if (i)
                    line += wxT(" ");
                line += i == r.selection ? wxT("(*) ") + r.choices[i] : wxT("( ) ") + r.choices[i];
            }
        }
        std::printf("%s\n", static_cast<const char*>(line.utf8_str()));
    }
    std::printf("Help: %s\n", static_cast<const char*>(handler.GetSettingsHelp().utf8_str()));
}

bool ApplyOptions(CCalendarHandler& handler, const CommandArgs& args, wxString& error) {
    SettingsRow** rows = handler.GetSettings(false);
    if (args.Has(wxT("--list")))
        rows[0]->value = args.options.at(wxT("--list"));
    if (args.Has(wxT("--poll"))) {
        const wxString poll = args.options.at(wxT("--poll"));
        long minutes = 0;
        if (!poll.ToLong(&minutes) || minutes < 0 || minutes > 35791) {
            error = wxT("--poll takes a number of minutes from 0 (never) to 35791");
            return false;
        }
        rows[1]->value = poll;
    }
    const std::pair<const wchar_t*, int> boxes[] = {{L"--suppress-errors", 2}, {L"--offline", 3}};
    for (const auto& box : boxes) {
        if (!args.Has(box.first))
            continue;
        if (!ParseOnOff(args.options.at(box.first), rows[box.second]->ticked)) {
            error = wxString::Format(wxT("%s takes on or off"), box.first);
            return false;
        }
    }
    handler.ApplySettings(rows);
    return true;
}

int RunSettings(HostSession& session, const std::vector<wxString>& argv) {
    CommandArgs args;
    wxString error;
    if (!args.Parse(argv, {wxT("--list"), wxT("--poll"), wxT("--suppress-errors"), wxT("--offline")},
                    error)) {
        return CommandError(error);
    }
    if (args.positional.size() != 1 || args.positional[0].empty()) {
        return CommandError(
            wxT("usage: settings CAL [--list NAME] [--poll MIN] [--suppress-errors on/off] "
                "[--offline on/off]"));
    }
    const wxString calendar = args.positional[0];
    if (args.options.empty() && !session.IsKnownCalendar(calendar)) {
        return CommandError(wxString::Format(
            wxT("unknown calendar \"%s\" (create it by giving a setting, e.g. settings %s --list NAME)"),
            calendar, calendar));
    }
    HandlerPtr handler = session.CreateHandler(calendar);
    if (!handler)
        return CommandError(wxT("the module did not create a handler"));
    if (!args.options.empty() && !ApplyOptions(*handler, args, error))
        return CommandError(error);
    if (!session.Flush(error))
        return CommandError(error);
    PrintRows(*handler);
    return 0;
}
}  // namespace

CORVANE_COMMAND("settings",
                "settings CAL [--list NAME] [--poll MIN] [--suppress-errors on/off] [--offline on/off]",
                "shows the calendar's settings page and applies the given values", RunSettings);
