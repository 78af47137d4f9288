// A smoke check against a widely used resize. The peer maps pixel centres
// onto each other, this resize maps the first and last pixels; on gradients
// that rise at most about one level per source pixel the two stay close:
// linear within one level. Its cubic is another kernel and its Lanczos has
// eight normalised taps (ours six, unnormalised), and it rounds where this
// resize truncates: cubic within two levels, Lanczos within four. The
// bounds catch wrong taps, offsets or mirrored weights, not last levels.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdlib>
#include <vector>

#include "BuildTest.h"
#include "ResizeHelpers.h"

namespace primitives::test {
namespace {

class ResizeVsOpenCV : public PerBuildTest {};

TEST_P(ResizeVsOpenCV, GradientsAgreeWithinAFewLevels) {
    cv::setNumThreads(1);
    struct Method {
        int32_t ours;
        int peer;
        int bound;
    };
    const Method methods[] = {{resizeInterpolationLinear, cv::INTER_LINEAR, 1},
                              {resizeInterpolationCubic, cv::INTER_CUBIC, 2},
                              {resizeInterpolationLanczos, cv::INTER_LANCZOS4, 4}};
    struct Row {
        int32_t srcWidth, srcHeight, dstWidth, dstHeight;
    };
    const Row rows[] = {
        {1000, 650, 2000, 1300},
        {1000, 650, 500, 325},
        {800, 60, 1000, 60},
        {300, 200, 900, 600},
    };
    for (const Method& method : methods) {
        for (const Row& r : rows) {
            SCOPED_TRACE(::testing::Message() << "method " << method.ours << ": " << r.srcWidth << "x" << r.srcHeight
                                              << " -> " << r.dstWidth << "x" << r.dstHeight);
            // Four different gradients, one per channel: along x, along y,
            // diagonal, and falling along x.
            const auto level = [&](int32_t x, int32_t y, int channel) {
                switch (channel) {
                case 0: return 255 * x / (r.srcWidth - 1);
                case 1: return 255 * y / (r.srcHeight - 1);
                case 2: return 255 * (x + y) / (r.srcWidth + r.srcHeight - 2);
                default: return 255 - 255 * x / (r.srcWidth - 1);
                }
            };
            std::vector<uint8_t> src(static_cast<std::size_t>(r.srcWidth) * r.srcHeight * 4);
            for (int32_t y = 0; y < r.srcHeight; ++y) {
                for (int32_t x = 0; x < r.srcWidth; ++x) {
                    for (int channel = 0; channel < 4; ++channel) {
                        src[(static_cast<std::size_t>(y) * r.srcWidth + x) * 4 + channel] =
                            static_cast<uint8_t>(level(x, y, channel));
                    }
                }
            }
            std::vector<uint8_t> dst(static_cast<std::size_t>(r.dstWidth) * r.dstHeight * 4);
            ASSERT_EQ(stretchTwice(zuzuZivere_8d_OZ4O, src.data(), r.srcWidth * 4, r.srcWidth, r.srcHeight, dst.data(),
                                   r.dstWidth * 4, r.dstWidth, r.dstHeight, method.ours),
                      primitiveStatusOk);

            for (int channel = 0; channel < 4; ++channel) {
                cv::Mat plane(r.srcHeight, r.srcWidth, CV_8UC1);
                for (int32_t y = 0; y < r.srcHeight; ++y) {
                    for (int32_t x = 0; x < r.srcWidth; ++x) plane.at<uint8_t>(y, x) = static_cast<uint8_t>(level(x, y, channel));
                }
                cv::Mat peer;
                cv::resize(plane, peer, cv::Size(r.dstWidth, r.dstHeight), 0.0, 0.0, method.peer);
                int worst = 0;
                for (int32_t y = 0; y < r.dstHeight; ++y) {
                    for (int32_t x = 0; x < r.dstWidth; ++x) {
                        const int ours = dst[(static_cast<std::size_t>(y) * r.dstWidth + x) * 4 + channel];
                        worst = std::max(worst, std::abs(ours - peer.at<uint8_t>(y, x)));
                    }
                }
                EXPECT_LE(worst, method.bound) << "channel " << channel;
            }
        }
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(ResizeVsOpenCV);

}  // namespace
}  // namespace primitives::test
