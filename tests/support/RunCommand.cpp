#include "tests/support/RunCommand.h"

#include "tests/support/InteractiveProcess.h"

std::string BuiltProgram(const std::string& name) {
    return std::string(CORVANE_BIN_DIR) + "/" + name;
}

CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input) {
    InteractiveProcess process(program, args);
    if (!input.empty())
        process.Write(input);
    CommandResult result;
    result.exitCode = process.Finish();
    result.out = process.Output();
    result.err = process.Errors();
    return result;
}
