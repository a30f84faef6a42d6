#include "emulator/MethodRegistry.h"

namespace rtmemu {

std::string MethodCall::Param(const std::string& name) const {
    auto found = params.find(name);
    return found == params.end() ? std::string() : found->second;
}

const MethodEntry* MethodRegistry::Find(const std::string& name) const {
    auto found = m_Methods.find(name);
    return found == m_Methods.end() ? nullptr : &found->second;
}

}  // namespace rtmemu
