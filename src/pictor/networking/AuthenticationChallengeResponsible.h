#pragma once

#include "pictor/networking/AuthenticationChallenge.h"

namespace pictor {

class ImageDownloader;

// Answers certificate challenges for a downloader. The transfer stack needs the answer before the
// signal returns, so it is given at once.
class AuthenticationChallengeResponsible {
public:
    virtual ~AuthenticationChallengeResponsible() = default;
    // Default: trust the presented certificate of a host listed in the trusted hosts the
    // transfer started with (challenge.trust), whatever the downloader trusts now.
    virtual AuthChallengeDisposition didReceiveChallenge(ImageDownloader& downloader, const AuthenticationChallenge& challenge);
};

} // namespace pictor
