// Which arguments ask for the version or the usage, answered before the
// toolkit starts.
#include "app/ProgramInfo.h"

#include <gtest/gtest.h>

namespace {

TEST(InfoRequestOf, TheFirstInformationSwitchDecides) {
    const std::pair<QStringList, InfoRequest> cases[] = {
        {{}, InfoRequest::kNone},
        {{"--version"}, InfoRequest::kVersion},
        {{"--help"}, InfoRequest::kHelp},
        {{"-h"}, InfoRequest::kHelp},
        // Anywhere among the arguments; the first of them wins.
        {{"--hidden", "--version"}, InfoRequest::kVersion},
        {{"--autostart", "on", "--help"}, InfoRequest::kHelp},
        {{"--version", "--help"}, InfoRequest::kVersion},
        {{"-h", "--version"}, InfoRequest::kHelp},
        // Everything else starts the program: links, its own switches,
        // near misses and a switch inside a link's text.
        {{"velk://url=https://chat.example.com/$mutex=M1"}, InfoRequest::kNone},
        {{"velk://url=https://chat.example.com/?q=--version"}, InfoRequest::kNone},
        {{"--hidden"}, InfoRequest::kNone},
        {{"--show-chat"}, InfoRequest::kNone},
        {{"--autostart", "off"}, InfoRequest::kNone},
        {{"--Version"}, InfoRequest::kNone},
        {{"-help"}, InfoRequest::kNone},
        {{"--version=1"}, InfoRequest::kNone},
        {{"-v"}, InfoRequest::kNone},
    };
    for (const auto& [arguments, expected] : cases)
        EXPECT_EQ(InfoRequestOf(arguments), expected) << arguments.join(' ').toStdString();
}

TEST(RunInfoSwitch, OtherArgumentsLeaveTheStartToTheProgram) {
    EXPECT_EQ(RunInfoSwitch("VelkSTKApp", {"--hidden"}), -1);
    EXPECT_EQ(RunInfoSwitch("VelkSTKApp", {}), -1);
}

}  // namespace
