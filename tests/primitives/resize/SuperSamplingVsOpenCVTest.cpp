// Against a widely used area resize: the peer's INTER_AREA on one channel
// and on four (channels 0 to 2 compared), 1200 x 600, gradients and seeded
// noise, destination sizes equal to ours. Its whole-factor and fractional
// paths give the same bytes at 1/2, 1/3 and 0.4; elsewhere it rounds ties to
// even where this resize rounds halves up, and sums fractional weights in
// another order, so results stay within one level.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdlib>
#include <random>
#include <vector>

#include "BuildTest.h"
#include "SuperSamplingModel.h"

namespace primitives::test {
namespace {

class SuperSamplingVsOpenCV : public PerBuildTest {};

TEST_P(SuperSamplingVsOpenCV, SameBytesOrWithinOneLevel) {
    cv::setNumThreads(1);
    const int32_t width = 1200;
    const int32_t height = 600;
    struct Row {
        double factor;
        int tolerance;
    };
    const Row rows[] = {{0.5, 0}, {1.0 / 3, 0}, {0.4, 0}, {0.25, 1}, {0.125, 1}, {0.3, 1}, {0.7, 1}};
    std::mt19937_64 random(51);
    cv::Mat gradient(height, width, CV_8UC4);
    cv::Mat noise(height, width, CV_8UC4);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const int levels[4] = {255 * x / (width - 1), 255 * y / (height - 1), 255 * (x + y) / (width + height - 2),
                                   255 - 255 * x / (width - 1)};
            for (int c = 0; c < 4; ++c) {
                gradient.at<cv::Vec4b>(y, x)[c] = static_cast<uint8_t>(levels[c]);
                noise.at<cv::Vec4b>(y, x)[c] = static_cast<uint8_t>(random());
            }
        }
    }
    for (const Row& r : rows) {
        const int32_t dstWidth = static_cast<int32_t>(r.factor * width + 1e-7);
        const int32_t dstHeight = static_cast<int32_t>(r.factor * height + 1e-7);
        for (const cv::Mat* image : {&gradient, &noise}) {
            SCOPED_TRACE(::testing::Message() << "factor " << r.factor << (image == &noise ? " noise" : " gradient"));
            cv::Mat peer;
            cv::resize(*image, peer, cv::Size(dstWidth, dstHeight), 0.0, 0.0, cv::INTER_AREA);
            cv::Mat ours(dstHeight, dstWidth, CV_8UC4, cv::Scalar::all(0));
            ASSERT_EQ(zuzuZivere_8d_OZ4O(image->data, {width, height}, static_cast<int32_t>(image->step),
                                         {0, 0, width, height}, ours.data, static_cast<int32_t>(ours.step),
                                         {dstWidth, dstHeight}, r.factor, r.factor, resizeInterpolationSuperSampling),
                      primitiveStatusOk);
            int worst = 0;
            for (int32_t y = 0; y < dstHeight; ++y) {
                for (int32_t x = 0; x < dstWidth; ++x) {
                    for (int c = 0; c < 3; ++c) {
                        worst = std::max(worst, std::abs(ours.at<cv::Vec4b>(y, x)[c] - peer.at<cv::Vec4b>(y, x)[c]));
                    }
                }
            }
            EXPECT_LE(worst, r.tolerance) << "four channels";

            // One channel through the driver.
            cv::Mat plane;
            cv::extractChannel(*image, plane, 2);
            cv::Mat peerPlane;
            cv::resize(plane, peerPlane, cv::Size(dstWidth, dstHeight), 0.0, 0.0, cv::INTER_AREA);
            cv::Mat ourPlane(dstHeight, dstWidth, CV_8UC1, cv::Scalar::all(0));
            const SuperSamplingParameters p{plane.data, width, height, static_cast<int32_t>(plane.step), 0, 0, width,
                                            height, ourPlane.data, static_cast<int32_t>(ourPlane.step), dstWidth,
                                            dstHeight, r.factor, r.factor, 1, 1, resizeData8u, 0};
            ASSERT_EQ(superSamplingDriverOf(build())(p), primitiveStatusOk);
            worst = 0;
            for (int32_t y = 0; y < dstHeight; ++y) {
                for (int32_t x = 0; x < dstWidth; ++x) {
                    worst = std::max(worst, std::abs(ourPlane.at<uint8_t>(y, x) - peerPlane.at<uint8_t>(y, x)));
                }
            }
            EXPECT_LE(worst, r.tolerance) << "one channel";
        }
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(SuperSamplingVsOpenCV);

}  // namespace
}  // namespace primitives::test
