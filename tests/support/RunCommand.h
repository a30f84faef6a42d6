// Runs a program of the build (the headless host) as a person would, capturing what it prints.
#pragma once

#include <string>
#include <vector>

struct CommandResult {
    int exitCode = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs `program` with `args`; `input` is fed to its standard input.
CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = std::string());

// The path of a program built beside the tests.
std::string BuiltProgram(const std::string& name);
