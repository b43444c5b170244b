#include "pupil/UserMaskStage.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <barrier>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>


namespace velmora {
namespace {

// Area-weighted enlargement of one axis by a > 1: destination cell k covers source interval
// [k / a, (k + 1) / a) and takes the overlap-weighted mean of the source cells there.
std::vector<double> EnlargeAxis(const std::vector<double>& src, int count, int stride, int lines,
                                double a, int outCount) {
    std::vector<double> out(static_cast<size_t>(outCount) * lines, 0.0);
    for (int line = 0; line < lines; ++line) {
        for (int k = 0; k < outCount; ++k) {
            double lo = k / a;
            double hi = (k + 1) / a;
            double sum = 0;
            for (int p = static_cast<int>(lo); p < count && p < hi; ++p) {
                double overlap = std::min(hi, p + 1.0) - std::max(lo, static_cast<double>(p));
                if (overlap > 0) sum += overlap * src[static_cast<size_t>(line) * stride + p];
            }
            out[static_cast<size_t>(line) * outCount + k] = sum * a;
        }
    }
    return out;
}

// ShrinkMatrix's spread: a source cell of width a lands in cell k or straddles k and k + 1.
struct Spread {
    int k;
    double first;
    double second;  // the share of cell k + 1; negative when the cell does not straddle
};
Spread SpreadOf(double a, int p, int limit) {
    double e = a * p;
    int k = static_cast<int>(e);
    double f = e - k;
    if (f <= 1 - a || k + 1 >= limit) return Spread{k, a, -1.0};
    return Spread{k, (k + 1) - e, a - ((k + 1) - e)};
}

constexpr int linesPerBlock = 16;

// One reduction of a picture by a (0 < a <= 1) onto a side x side grid ([y][x]).
struct Reduction {
    Reduction(double factor, int gridSide, int w, int h)
        : a(factor), side(gridSide), keepW(std::min(w, gridSide)), keepH(std::min(h, gridSide)),
          out(static_cast<size_t>(gridSide) * gridSide, 0.0), across(static_cast<size_t>(w)),
          lines(static_cast<size_t>(keepW) * linesPerBlock) {
        for (int x = 0; x < w; ++x) across[static_cast<size_t>(x)] = SpreadOf(a, x, w);
    }
    double a;
    int side, keepW, keepH;
    std::vector<double> out;
    std::vector<Spread> across;  // where each pixel of a line goes
    std::vector<double> lines;   // the first pass of a block of lines, [x][line]
};

// The first pass of one block of lines: values[x][line] into red.lines[cell][line]. The
// lines' sums are independent, so they go four to a vector where the processor has AVX2: the
// body is compiled twice, once for AVX2 and once for any x86-64, and the version is chosen at
// run time (not by the loader, whose resolver functions the thread sanitizer cannot run). The
// contraction of products into fused multiply-adds stays off, so both versions give the same
// bits.
__attribute__((always_inline)) inline void StoreCell(Reduction& red, int cell, const double* s) {
    if (cell < red.keepW)
        for (int r = 0; r < linesPerBlock; ++r) red.lines[static_cast<size_t>(cell) * linesPerBlock + r] = s[r];
}

__attribute__((always_inline)) inline void ReduceBlockAcrossBody(Reduction& red, const double* values, int w) {
    constexpr int block = linesPerBlock;
    int cell = 0;
    double s[block] = {};
    const Spread* across = red.across.data();
    for (int x = 0; x < w; ++x) {
        const Spread& sp = across[x];
        const double* v = values + static_cast<size_t>(x) * block;
        if (sp.k != cell) {
            StoreCell(red, cell, s);
            cell = sp.k;
            for (int r = 0; r < block; ++r) s[r] = 0;
        }
        for (int r = 0; r < block; ++r) s[r] += sp.first * v[r];
        if (sp.second >= 0) {
            StoreCell(red, cell, s);
            cell = sp.k + 1;
            for (int r = 0; r < block; ++r) s[r] = 0 + sp.second * v[r];
        }
    }
    StoreCell(red, cell, s);
}

__attribute__((target("avx2"))) void ReduceBlockAcrossAvx2(Reduction& red, const double* values, int w) {
    ReduceBlockAcrossBody(red, values, w);
}

void ReduceBlockAcrossPlain(Reduction& red, const double* values, int w) {
    ReduceBlockAcrossBody(red, values, w);
}

std::atomic<bool> plainOnly{false};

void ReduceBlockAcross(Reduction& red, const double* values, int w) {
    static const bool avx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    if (avx2 && !plainOnly.load(std::memory_order_relaxed)) ReduceBlockAcrossAvx2(red, values, w);
    else ReduceBlockAcrossPlain(red, values, w);
}

// The first and second pass of one block of n lines starting at y0 (values [x][line]): each
// line's cells summed along x in one walk for the whole block, then the lines added into the
// output rows their cells fall in, in increasing y (see ReduceTopLeft).
void ReduceBlock(Reduction& red, const double* values, int w, int y0, int n, int h) {
    constexpr int block = linesPerBlock;
    std::fill(red.lines.begin(), red.lines.end(), 0.0);
    ReduceBlockAcross(red, values, w);
    const int keepW = red.keepW;
    for (int r = 0; r < n; ++r) {
        const Spread sp = SpreadOf(red.a, y0 + r, h);
        auto add = [&](int k, double weight) {
            if (k >= red.keepH) return;
            double* row = &red.out[static_cast<size_t>(k) * red.side];
            const double* line = &red.lines[static_cast<size_t>(r)];
            for (int x = 0; x < keepW; ++x) row[x] += weight * line[static_cast<size_t>(x) * block];
        };
        add(sp.k, sp.first);
        if (sp.second >= 0) add(sp.k + 1, sp.second);
    }
}

// Fills lines [from, to) of the chunk starting at chunkY (blocks of linesPerBlock lines, each
// block [x][line]; from and to are whole blocks); lines beyond the picture are 0. Values that
// can fill a whole block at once (grey masks) write it in order, x by x, instead of line by
// line, where every value would go to another cache line.
template <class RowValues>
void FillChunk(double* chunk, int w, int h, int chunkY, int from, int to, RowValues& rowValues) {
    constexpr int block = linesPerBlock;
    for (int first = from; first < to; first += block) {
        double* blockStart = chunk + static_cast<size_t>(first / block) * w * block;
        const int y0 = chunkY + first;
        if constexpr (requires { rowValues.FillBlock(y0, block, blockStart); }) {
            if (y0 + block <= h) {
                rowValues.FillBlock(y0, block, blockStart);
                continue;
            }
        }
        for (int r = 0; r < block; ++r) {
            if (y0 + r < h) {
                rowValues(y0 + r, blockStart + r, block);
            } else {
                for (int x = 0; x < w; ++x) blockStart[static_cast<size_t>(x) * block + r] = 0;
            }
        }
    }
}

// Area-weighted reductions of the w x h values of a picture, anchored at the top-left corner;
// output cells a reduction does not reach are 0. rowValues(y, out, stride) gives the w
// values of line y at out[0], out[stride], ..., once for all the reductions.
//
// This is ShrinkMatrix's two passes, streamed a few source lines at a time. Its first pass
// sums, for each line, the weighted values that land in a cell in increasing x; its second
// sums those line results into the output rows in increasing y. Here each cell of a line is
// summed in a register over the same run of x (a cell takes a contiguous run of pixels, as
// the cell index never decreases along the line), and the lines are added into the output
// in increasing y: every sum is formed from the same products in the same order, so the
// result is ShrinkMatrix's bit for bit, with memory for the outputs and a few lines only.
// A block of lines shares one walk along x, so that their sums (each a chain of dependent
// adds) run side by side.
//
// With a second thread allowed (threads: how many the caller allows, 0 for the hardware's)
// the picture is read in chunks of lines that both threads fill, half each; then each thread
// runs its share of the reductions over the chunk while the next chunk goes to the other
// buffer. A reduction stays with one thread, so its sums keep their order.
template <class RowValues>
void ReduceTopLeft(int w, int h, std::vector<Reduction>& reductions, RowValues rowValues, int threads = 0) {
    constexpr int block = linesPerBlock;
    constexpr int chunkLines = 4 * block;
    const int allowed = threads > 0 ? threads : static_cast<int>(std::thread::hardware_concurrency());
    const int workers = allowed >= 2 && h > chunkLines ? 2 : 1;
    const size_t chunkSize = static_cast<size_t>(w) * chunkLines;
    std::vector<double> buffers(chunkSize * 2);
    std::barrier filled(workers);
    auto work = [&](int t) {
        int round = 0;
        for (int chunkY = 0; chunkY < h; chunkY += chunkLines, ++round) {
            double* chunk = &buffers[chunkSize * static_cast<size_t>(round % 2)];
            const int share = chunkLines / workers;
            FillChunk(chunk, w, h, chunkY, t * share, (t + 1) * share, rowValues);
            filled.arrive_and_wait();
            for (size_t k = static_cast<size_t>(t); k < reductions.size(); k += static_cast<size_t>(workers))
                for (int b = 0; b < chunkLines && chunkY + b < h; b += block)
                    ReduceBlock(reductions[k], chunk + static_cast<size_t>(b) * w, w, chunkY + b,
                                std::min(block, h - chunkY - b), h);
        }
    };
    if (workers == 1) {
        work(0);
        return;
    }
    std::thread helper(work, 1);
    work(0);
    helper.join();
}

template <class RowValues>
std::vector<double> ShrinkTopLeft(int w, int h, double a, int side, RowValues rowValues) {
    std::vector<Reduction> one;
    one.emplace_back(a, side, w, h);
    ReduceTopLeft(w, h, one, rowValues);
    return std::move(one[0].out);
}

// The w x h values rescaled by a, anchored at the top-left corner, onto a side x side grid
// ([y][x]); cells the rescaled picture does not reach are 0. A factor up to 1 reduces as
// ShrinkMatrix does; above 1 the area-weighted enlargement does the counterpart.
template <class RowValues>
std::vector<double> RescaleTopLeft(int w, int h, double a, int side, RowValues rowValues) {
    if (a <= 1) return ShrinkTopLeft(w, h, a, side, rowValues);
    std::vector<double> out(static_cast<size_t>(side) * side, 0.0);
    // Enlarging: the mask is narrower than the pupil, so small; a copy of its values is cheap.
    std::vector<double> src(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) rowValues(y, &src[static_cast<size_t>(y) * w], 1);
    const int outW = std::min(side, static_cast<int>(std::ceil(a * w)));
    const int outH = std::min(side, static_cast<int>(std::ceil(a * h)));
    // Rows first (along x), then along y by treating columns as lines.
    std::vector<double> wide = EnlargeAxis(src, w, w, h, a, outW);  // [y][x'], h lines
    std::vector<double> cols(static_cast<size_t>(outW) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < outW; ++x) cols[static_cast<size_t>(x) * h + y] = wide[static_cast<size_t>(y) * outW + x];
    std::vector<double> tall = EnlargeAxis(cols, h, h, outW, a, outH);  // [x'][y']
    for (int x = 0; x < outW; ++x)
        for (int y = 0; y < outH; ++y) out[static_cast<size_t>(y) * side + x] = tall[static_cast<size_t>(x) * outH + y];
    return out;
}

// The stage of a side x side grid of values 0..1: grey bytes of 255 x value.
Picture24 StageFromValues(const std::vector<double>& values, int side) {
    Picture24 stage(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const uint8_t level = TruncatedByte(255 * values[static_cast<size_t>(y) * side + x]);
            stage.SetPixel(x, y, level, level, level);
        }
    return stage;
}

// (65536 B + 256 G + R) is an exact integer below 2^24, and dividing by 2^24 is exact: the
// 24-bit number of the pixel scaled by 2^-24 is MaskPixelValue to the bit.
auto MaskRowValues(const Picture24& mask) {
    return [&mask](int y, double* row, int stride) {
        const uint8_t* p = mask.ScanLine(y);
        const int w = mask.width;
        // Blue, green, red and the next pixel's blue as one little-endian word: byte-reversed
        // and shifted, it is the pixel's number. The picture's last pixel has no next byte.
        const int wholeWords = y + 1 < mask.height ? w : w - 1;
        for (int x = 0; x < wholeWords; ++x, p += 3) {
            uint32_t word;
            std::memcpy(&word, p, 4);
            row[static_cast<size_t>(x) * stride] = static_cast<int>(__builtin_bswap32(word) >> 8) * (1.0 / 16777216.0);
        }
        for (int x = wholeWords; x < w; ++x, p += 3)
            row[static_cast<size_t>(x) * stride] = ((p[0] << 16) | (p[1] << 8) | p[2]) * (1.0 / 16777216.0);
    };
}

// A grey level g is the pixel (g, g, g), whose number 65793 g is exact: the same values.
class GreyRowValues {
public:
    explicit GreyRowValues(const LoadedMask& mask) : mask_(&mask) {
        for (int g = 0; g < 256; ++g) value_[static_cast<size_t>(g)] = (65793 * g) * (1.0 / 16777216.0);
    }
    void operator()(int y, double* row, int stride) const {
        const uint8_t* p = mask_->GreyLine(y);
        for (int x = 0; x < mask_->width; ++x) row[static_cast<size_t>(x) * stride] = value_[p[x]];
    }
    // Lines y0 .. y0 + n - 1 (all inside the picture) as a block [x][line].
    void FillBlock(int y0, int n, double* block) const {
        constexpr int most = 64;
        const uint8_t* lines[most];
        for (int r = 0; r < n && r < most; ++r) lines[r] = mask_->GreyLine(y0 + r);
        for (int x = 0; x < mask_->width; ++x, block += n)
            for (int r = 0; r < n; ++r) block[r] = value_[lines[r][x]];
    }

private:
    const LoadedMask* mask_;
    std::array<double, 256> value_;
};

template <class RowValues>
Picture24 StageWith(int w, int h, int pupilSamples, RowValues rowValues) {
    const int side = std::max(userMaskStageMinimum, pupilSamples);
    if (w <= 0 || h <= 0 || pupilSamples <= 0) return Picture24(side, side);
    return StageFromValues(RescaleTopLeft(w, h, static_cast<double>(pupilSamples) / w, side, rowValues), side);
}

template <class RowValues>
std::vector<Picture24> StageManyWith(int w, int h, const std::vector<int>& pupilSamples, RowValues rowValues,
                                     int threads) {
    std::vector<Picture24> stages(pupilSamples.size());
    std::vector<Reduction> reductions;
    std::vector<size_t> reduced;  // which stage each reduction makes
    for (size_t k = 0; k < pupilSamples.size(); ++k) {
        const int np = pupilSamples[k];
        if (w > 0 && h > 0 && np > 0 && np <= w) {
            reductions.emplace_back(static_cast<double>(np) / w, std::max(userMaskStageMinimum, np), w, h);
            reduced.push_back(k);
        } else {
            stages[k] = StageWith(w, h, np, rowValues);  // enlarged or empty: small work
        }
    }
    if (!reductions.empty()) ReduceTopLeft(w, h, reductions, rowValues, threads);
    for (size_t r = 0; r < reductions.size(); ++r) stages[reduced[r]] = StageFromValues(reductions[r].out, reductions[r].side);
    return stages;
}

template <class BlueLine>
Picture24 PreviewWith(int w, int h, BlueLine blueLine) {
    const int side = userMaskStageMinimum;
    Picture24 copy(side, side);
    if (w <= 0 || h <= 0) return copy;
    const std::vector<double> values = RescaleTopLeft(w, h, static_cast<double>(side) / w, side, [&](int y, double* row, int stride) {
        blueLine(y, row, stride);
    });
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const uint8_t level = TruncatedByte(values[static_cast<size_t>(y) * side + x]);
            copy.SetPixel(x, y, level, level, level);
        }
    return copy;
}

}  // namespace

void StageWithPlainInstructionsOnly(bool plain) { plainOnly.store(plain); }

double MaskPixelValue(const Picture24& picture, int x, int y) {
    return (65536.0 * picture.Blue(x, y) + 256.0 * picture.Green(x, y) + picture.Red(x, y)) / 16777216.0;
}

Picture24 StageUserMask(const Picture24& mask, int pupilSamples) {
    return StageWith(mask.width, mask.height, pupilSamples, MaskRowValues(mask));
}

Picture24 StageUserMask(const LoadedMask& mask, int pupilSamples) {
    if (!mask.IsGrey()) return StageUserMask(mask.colour, pupilSamples);
    return StageWith(mask.width, mask.height, pupilSamples, GreyRowValues(mask));
}

std::vector<Picture24> StageUserMaskMany(const Picture24& mask, const std::vector<int>& pupilSamples, int threads) {
    return StageManyWith(mask.width, mask.height, pupilSamples, MaskRowValues(mask), threads);
}

std::vector<Picture24> StageUserMaskMany(const LoadedMask& mask, const std::vector<int>& pupilSamples, int threads) {
    if (!mask.IsGrey()) return StageUserMaskMany(mask.colour, pupilSamples, threads);
    return StageManyWith(mask.width, mask.height, pupilSamples, GreyRowValues(mask), threads);
}

std::vector<int> RunPupilSamplings(const SimulationParameters& p) {
    std::vector<const WavelengthBand*> bands;
    if (p.colorMode == ColorMode::Monochrome) bands = {&p.whiteBand};
    else bands = {&p.blueBand, &p.greenBand, &p.redBand};
    // Beyond this many wavelengths the run is refused or slow anyway; no plan is made.
    constexpr long long planned = 10000;
    long long total = 0;
    for (const WavelengthBand* band : bands) {
        if (band->step <= 0) return {};
        if (band->min <= band->max) total += (static_cast<long long>(band->max) - band->min) / band->step + 1;
    }
    if (total > planned) return {};
    const double ratio = FocalRatio(p.focalLength, p.aperture);
    std::vector<int> samplings;
    for (const WavelengthBand* band : bands)
        for (long long lambda = band->min; lambda <= band->max; lambda += band->step)
            samplings.push_back(PupilSamples(ratio, lambda));
    return samplings;
}

std::shared_ptr<const Picture24> UserMaskStages::Share(int pupilSamples) {
    const std::lock_guard hold(lock_);
    // The first entry for this sampling not yet asked for is the one being asked for now.
    for (size_t k = next_; k < upcoming_.size(); ++k)
        if (!asked_[k] && upcoming_[k] == pupilSamples) {
            asked_[k] = true;
            break;
        }
    while (next_ < upcoming_.size() && asked_[next_]) ++next_;
    auto stillNeeded = [&](int np) {
        if (np == pupilSamples) return true;
        for (size_t k = next_; k < upcoming_.size(); ++k)
            if (!asked_[k] && upcoming_[k] == np) return true;
        return false;
    };
    // A stage another thread still reads lives on in its hands.
    std::erase_if(stages_, [&](const auto& entry) { return !stillNeeded(entry.first); });
    if (stages_.find(pupilSamples) == stages_.end()) {
        // This sampling and the next few the run needs, in one pass over the mask.
        constexpr size_t perPass = 4;
        std::vector<int> group = {pupilSamples};
        for (size_t k = next_; k < upcoming_.size() && group.size() < perPass; ++k)
            if (!asked_[k] && stages_.find(upcoming_[k]) == stages_.end() &&
                std::find(group.begin(), group.end(), upcoming_[k]) == group.end())
                group.push_back(upcoming_[k]);
        std::vector<Picture24> made =
            mask_ ? StageUserMaskMany(*mask_, group, threads_) : StageUserMaskMany(*picture_, group, threads_);
        for (size_t k = 0; k < group.size(); ++k)
            stages_.emplace(group[k], std::make_shared<const Picture24>(std::move(made[k])));
    }
    return stages_.at(pupilSamples);
}

Picture24 MaskPreviewCopy(const Picture24& mask) {
    return PreviewWith(mask.width, mask.height, [&](int y, double* row, int stride) {
        const uint8_t* p = mask.ScanLine(y);
        for (int x = 0; x < mask.width; ++x, p += 3) row[static_cast<size_t>(x) * stride] = p[0];
    });
}

Picture24 MaskPreviewCopy(const LoadedMask& mask) {
    if (!mask.IsGrey()) return MaskPreviewCopy(mask.colour);
    return PreviewWith(mask.width, mask.height, [&](int y, double* row, int stride) {
        const uint8_t* p = mask.GreyLine(y);
        for (int x = 0; x < mask.width; ++x) row[static_cast<size_t>(x) * stride] = p[x];
    });
}

}  // namespace velmora
