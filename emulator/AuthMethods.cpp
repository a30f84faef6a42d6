// rtm.auth.*: the frob and token exchange of a desktop application.
#include "emulator/Envelope.h"
#include "emulator/MethodRegistry.h"

namespace rtmemu {

namespace {
std::string AuthPayload(const Grant& grant) {
    return "<auth>" + XmlElement("token", grant.token) + XmlElement("perms", PermsName(grant.perms)) +
           XmlTag(
               "user",
               {{"id", grant.user.id}, {"username", grant.user.username}, {"fullname", grant.user.fullname}},
               true) +
           "</auth>";
}

MethodResult GetFrob(MethodCall& call) {
    return MethodResult::Ok(XmlElement("frob", call.state.NewFrob(call.Param("api_key"))));
}

MethodResult GetToken(MethodCall& call) {
    const std::optional<Grant> grant = call.state.ExchangeFrob(call.Param("frob"));
    if (!grant)
        return MethodResult::Error(ERR_INVALID_FROB);
    return MethodResult::Ok(AuthPayload(*grant));
}

MethodResult CheckToken(MethodCall& call) {
    const std::optional<Grant> grant = call.state.FindToken(call.Param("auth_token"));
    if (!grant)
        return MethodResult::Error(ERR_INVALID_TOKEN);
    return MethodResult::Ok(AuthPayload(*grant));
}
}  // namespace

void RegisterAuthMethods(MethodRegistry& registry) {
    registry.Add("rtm.auth.getFrob", {GetFrob});
    registry.Add("rtm.auth.getToken", {GetToken});
    // The token is the argument here, so the common token check does not apply.
    registry.Add("rtm.auth.checkToken", {CheckToken});
}

}  // namespace rtmemu
