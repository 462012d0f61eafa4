#include "DownloadOutcomes.h"
#include "ImageServer.h"

#include <gtest/gtest.h>

using namespace pictor;

namespace {

// How a downloader comes to accept the test server's self-signed certificate, if at all.
enum class Trust { nothing, caList, trustedHost };

std::shared_ptr<ImageDownloader> trusting(Trust trust)
{
    auto made = ImageServer::downloader(trust == Trust::caList);
    if (trust == Trust::trustedHost)
        made->setTrustedHosts(QSet<QString>{QStringLiteral("127.0.0.1")});
    return made;
}

struct TrustOrder {
    const char* name;
    Trust first;
    Trust second;
};

class DownloaderTrustTest : public ::testing::TestWithParam<TrustOrder> {
protected:
    ImageServer server;
};

// The second downloader reaches the server while the first one's connection to it is still open.
TEST_P(DownloaderTrustTest, EachDownloaderKeepsItsOwnCertificateDecision)
{
    for (const Trust trust : {GetParam().first, GetParam().second}) {
        Outcomes outcomes;
        auto downloader = trusting(trust);
        downloader->downloadImage(server.url("/image.png"), options(), outcomes.completion());
        ASSERT_TRUE(outcomes.waitFor(1));
        const auto& result = outcomes.results[0];
        if (trust == Trust::nothing) {
            ASSERT_TRUE(result.isFailure()) << "an untrusting downloader was served";
            EXPECT_EQ(result.error().reason(), PictorError::Reason::URLSessionError);
        } else {
            EXPECT_TRUE(result.isSuccess()) << int(trust) << ": " << result.error().what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Orders, DownloaderTrustTest,
                         ::testing::Values(TrustOrder{"RefusedThenCaList", Trust::nothing, Trust::caList},
                                           TrustOrder{"RefusedThenTrustedHost", Trust::nothing, Trust::trustedHost},
                                           TrustOrder{"CaListThenNothing", Trust::caList, Trust::nothing},
                                           TrustOrder{"TrustedHostThenNothing", Trust::trustedHost, Trust::nothing}),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
