#include "pictor/networking/AuthenticationChallengeResponsible.h"

namespace pictor {

AuthChallengeDisposition AuthenticationChallengeResponsible::didReceiveChallenge(ImageDownloader&, const AuthenticationChallenge& challenge)
{
    const std::optional<QSet<QString>>& trusted = challenge.trust.trustedHosts;
    if (trusted && trusted->contains(challenge.host))
        return AuthChallengeDisposition::useCredential;
    return AuthChallengeDisposition::performDefaultHandling;
}

} // namespace pictor
