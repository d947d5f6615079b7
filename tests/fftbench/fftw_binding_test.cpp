// --fftw times the library it names and nothing else: a stand-in FFTW is
// linked into this test (as a process may hold one FFTW already), another
// is named, and a plan the named one makes must run the named one's code,
// though both export the functions its fftwf_execute calls.
#include <gtest/gtest.h>

#include <string>

#include "measure/peers/peers.h"

extern "C" const char fftwf_version[];  // the linked stand-in's

namespace fftbench {
namespace {

TEST(FftwBinding, NamedLibraryRunsItsOwnCode) {
    ASSERT_EQ(std::string(fftwf_version), "fftw stand-in 2");  // the namesake is in the process
    const std::vector<Contender> peers = peerContenders({{"fftwf", FFTW_STANDIN_NAMED}});
    const auto fftw = std::find_if(peers.begin(), peers.end(), [](const Contender& c) { return c.implementation == "fftwf"; });
    ASSERT_NE(fftw, peers.end());
    EXPECT_NE(fftw->name.find("fftw stand-in 3"), std::string::npos) << fftw->name;
    EXPECT_NE(fftw->name.find("fftw_standin_named"), std::string::npos) << fftw->name;

    const std::vector<Complex> signal = {{1, -2}, {0.5f, 4}, {-3, 0}, {2, 2}};
    const auto run = fftw->start(signal);
    run->run(1);
    const std::vector<Complex> result = run->naturalResult();
    ASSERT_EQ(result.size(), signal.size());
    for (size_t i = 0; i < signal.size(); ++i) {
        EXPECT_EQ(result[i].re, 3 * signal[i].re) << i;
        EXPECT_EQ(result[i].im, 3 * signal[i].im) << i;
    }
}

}  // namespace
}  // namespace fftbench
