#include "pictor/networking/AuthenticationChallengeResponsible.h"

#include "pictor/networking/ImageDownloader.h"

namespace pictor {

AuthChallengeDisposition AuthenticationChallengeResponsible::didReceiveChallenge(ImageDownloader& downloader,
                                                                                 const AuthenticationChallenge& challenge)
{
    const std::optional<QSet<QString>> trusted = downloader.trustedHosts();
    if (trusted && trusted->contains(challenge.host))
        return AuthChallengeDisposition::useCredential;
    return AuthChallengeDisposition::performDefaultHandling;
}

} // namespace pictor
