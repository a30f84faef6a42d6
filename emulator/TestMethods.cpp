// rtm.test.*: unsigned helpers.
#include "emulator/Envelope.h"
#include "emulator/MethodRegistry.h"

namespace rtmemu {

namespace {
// Every parameter comes back as an element of its own.
MethodResult Echo(MethodCall& call) {
    std::string payload;
    for (const auto& param : call.params)
        payload += XmlElement(param.first, param.second);
    return MethodResult::Ok(payload);
}
}  // namespace

void RegisterTestMethods(MethodRegistry& registry) {
    registry.Add("rtm.test.echo", {Echo, false});
}

}  // namespace rtmemu
