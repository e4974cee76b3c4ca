// ormi-bench-peers: OpenCV, single-threaded, on the operations nearest to our exports, on the same
// noisy 32-bit image as ormi-bench (4096 x 4096 unless --size W), with its own BM_Memcpy so that
// every figure reads as a ratio to the memory bandwidth of the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <vector>

namespace {

int g_size = 4096;

cv::Mat NoisyBgra() {
  cv::Mat image(g_size, g_size, CV_8UC4);
  std::mt19937 random(12345);
  for (int y = 0; y < g_size; ++y) {
    uint32_t* row = image.ptr<uint32_t>(y);
    for (int x = 0; x < g_size; ++x) row[x] = static_cast<uint32_t>(random()) | 0xFF000000u;
  }
  return image;
}

void SetRate(benchmark::State& state) {
  state.counters["MP/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * g_size * g_size / 1e6, benchmark::Counter::kIsRate);
}

// Times `op(source, destination)`; the destination is allocated once, outside the loop.
template <class Op>
void TimeOp(benchmark::State& state, Op op) {
  cv::Mat source = NoisyBgra(), destination;
  op(source, destination);
  for (auto _ : state) {
    op(source, destination);
    benchmark::DoNotOptimize(destination.data);
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

void BM_Memcpy(benchmark::State& state) {
  const size_t bytes = size_t{4} * g_size * g_size;
  std::vector<uint8_t> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

cv::Mat RampLut() {
  cv::Mat lut(1, 256, CV_8U);
  for (int i = 0; i < 256; ++i) lut.at<uint8_t>(i) = cv::saturate_cast<uint8_t>(i + 40);
  return lut;
}

void BM_CvBitwiseNot(benchmark::State& state) {
  TimeOp(state, [](cv::Mat& s, cv::Mat& d) { cv::bitwise_not(s, d); });
}

void BM_CvLut(benchmark::State& state) {
  const cv::Mat lut = RampLut();
  TimeOp(state, [&lut](cv::Mat& s, cv::Mat& d) { cv::LUT(s, lut, d); });
}

void BM_CvFilter2D3x3(benchmark::State& state) {
  const cv::Mat kernel = (cv::Mat_<float>(3, 3) << 1, 2, 1, 2, 4, 2, 1, 2, 1) / 16.0f;
  TimeOp(state, [&kernel](cv::Mat& s, cv::Mat& d) { cv::filter2D(s, d, -1, kernel); });
}

// The kernel pass into a signed image, then its stretch back to 0..255.
void BM_CvFilter2D3x3Normalised(benchmark::State& state) {
  const cv::Mat kernel = (cv::Mat_<float>(3, 3) << -1, -1, 0, -1, 0, 1, 0, 1, 1);
  cv::Mat wide;
  TimeOp(state, [&](cv::Mat& s, cv::Mat& d) {
    cv::filter2D(s, wide, CV_16S, kernel);
    cv::normalize(wide, d, 0, 255, cv::NORM_MINMAX, CV_8U);
  });
}

void BM_CvBilateral5(benchmark::State& state) {
  cv::Mat bgr;
  cv::cvtColor(NoisyBgra(), bgr, cv::COLOR_BGRA2BGR);
  cv::Mat out;
  for (auto _ : state) {
    cv::bilateralFilter(bgr, out, 5, 50, 50);
    benchmark::DoNotOptimize(out.data);
  }
  SetRate(state);
}

void BM_CvFlipRows(benchmark::State& state) {
  TimeOp(state, [](cv::Mat& s, cv::Mat& d) { cv::flip(s, d, 0); });
}
void BM_CvFlipColumns(benchmark::State& state) {
  TimeOp(state, [](cv::Mat& s, cv::Mat& d) { cv::flip(s, d, 1); });
}
void BM_CvFlipBoth(benchmark::State& state) {
  TimeOp(state, [](cv::Mat& s, cv::Mat& d) { cv::flip(s, d, -1); });
}

void BM_CvRotate90(benchmark::State& state) {
  TimeOp(state, [](cv::Mat& s, cv::Mat& d) { cv::rotate(s, d, cv::ROTATE_90_COUNTERCLOCKWISE); });
}

// 30 degrees counter-clockwise about the centre, into the bounding box of the turned image.
void BM_CvWarpAffine30Nearest(benchmark::State& state) {
  const float side = static_cast<float>(g_size);
  const cv::Point2f centre(side / 2, side / 2);
  cv::Mat turn = cv::getRotationMatrix2D(centre, 30, 1);
  const cv::Rect2f box = cv::RotatedRect(centre, cv::Size2f(side, side), 30).boundingRect2f();
  turn.at<double>(0, 2) += box.width / 2.0 - centre.x;
  turn.at<double>(1, 2) += box.height / 2.0 - centre.y;
  const cv::Size size(static_cast<int>(box.width), static_cast<int>(box.height));
  TimeOp(state, [&](cv::Mat& s, cv::Mat& d) { cv::warpAffine(s, d, turn, size, cv::INTER_NEAREST); });
}

// A histogram equalisation as an image tool does it on colour: the grey image, its equalised
// histogram as a table, the table sent over every component.
void BM_CvEqualizeHist(benchmark::State& state) {
  cv::Mat grey, equalised, lut(1, 256, CV_8U);
  TimeOp(state, [&](cv::Mat& s, cv::Mat& d) {
    cv::cvtColor(s, grey, cv::COLOR_BGRA2GRAY);
    cv::equalizeHist(grey, equalised);
    for (int i = 0; i < 256; ++i) lut.at<uint8_t>(i) = static_cast<uint8_t>(i);
    cv::LUT(s, lut, d);
  });
}

void BM_CvHlsRoundTrip(benchmark::State& state) {
  cv::Mat bgr, hls;
  cv::cvtColor(NoisyBgra(), bgr, cv::COLOR_BGRA2BGR);
  cv::Mat out;
  for (auto _ : state) {
    cv::cvtColor(bgr, hls, cv::COLOR_BGR2HLS);
    cv::cvtColor(hls, out, cv::COLOR_HLS2BGR);
    benchmark::DoNotOptimize(out.data);
  }
  SetRate(state);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
      g_size = std::max(8, std::atoi(argv[++i]));
    } else {
      rest.push_back(argv[i]);
    }
  }
  cv::setNumThreads(1);
  int restCount = static_cast<int>(rest.size());
  using Benchmark = void (*)(benchmark::State&);
  for (auto [name, function] : {std::pair<const char*, Benchmark>{"BM_Memcpy", BM_Memcpy},
                                {"BM_CvBitwiseNot", BM_CvBitwiseNot},
                                {"BM_CvLut", BM_CvLut},
                                {"BM_CvFilter2D3x3", BM_CvFilter2D3x3},
                                {"BM_CvFilter2D3x3Normalised", BM_CvFilter2D3x3Normalised},
                                {"BM_CvBilateral5", BM_CvBilateral5},
                                {"BM_CvFlipRows", BM_CvFlipRows},
                                {"BM_CvFlipColumns", BM_CvFlipColumns},
                                {"BM_CvFlipBoth", BM_CvFlipBoth},
                                {"BM_CvRotate90", BM_CvRotate90},
                                {"BM_CvWarpAffine30Nearest", BM_CvWarpAffine30Nearest},
                                {"BM_CvEqualizeHist", BM_CvEqualizeHist},
                                {"BM_CvHlsRoundTrip", BM_CvHlsRoundTrip}}) {
    benchmark::RegisterBenchmark(name, function)->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&restCount, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
