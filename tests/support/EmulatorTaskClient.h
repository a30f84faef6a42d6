// The emulator's task methods called over real HTTP: an in-process emulator with a fixed clock, a
// granted token, signed calls, and the replies parsed for assertions.
#pragma once

#include "emulator/Emulator.h"
#include "emulator/TaskMethods.h"

#include <gtest/gtest.h>
#include <wx/xml/xml.h>

#include <atomic>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct EmulatorReply {
    int httpStatus = 0;
    std::string contentType;
    std::string body;
    std::shared_ptr<wxXmlDocument> document;
    bool parsed = false;

    bool Ok() const;
    int ErrorCode() const;  // 0 for an ok reply
    std::string ErrorMessage() const;
    // The first child element of rsp with that name (or null).
    const wxXmlNode* Payload(const char* name) const;
};

// Small readers of the reply tree.
std::string AttrOf(const wxXmlNode* node, const char* name);
std::string TextOf(const wxXmlNode* node);
std::vector<const wxXmlNode*> ChildrenOf(const wxXmlNode* node, const char* name = nullptr);
const wxXmlNode* ChildOf(const wxXmlNode* node, const char* name);

class EmulatorTaskTest : public ::testing::Test {
  protected:
    using Params = std::map<std::string, std::string>;

    void SetUp() override;
    void TearDown() override;

    // A signed call with the api key and the granted token (unless `params` sets them itself).
    EmulatorReply Call(const std::string& method, Params params = {});
    // The same without a signature.
    EmulatorReply CallUnsigned(const std::string& method, Params params);
    std::string Timeline();
    // A token of the emulator's user with this permission level.
    std::string GrantToken(rtmemu::Perms perms);

    rtmemu::TaskStore& Store() { return emulator->State().Tasks(); }
    // Params naming a task for a write call, with a fresh timeline.
    Params PathOf(const rtmemu::TaskRef& ref);

    std::unique_ptr<rtmemu::Emulator> emulator;
    std::string token;
    // The emulator's clock: starts at 2026-12-01T10:00:00Z; tests move it on.
    std::atomic<long long> now{1796119200};

  private:
    EmulatorReply Send(Params params, bool sign);
};
