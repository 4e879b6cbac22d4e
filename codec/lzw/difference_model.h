// The symbol source and sink shared by the LZW methods that code a series by
// the differences between neighbouring samples, each difference W bytes wide
// and handed to the dictionary as W byte symbols, least significant first.
//
// A method supplies two small policies, both inlined into the loops below:
//
//   Encoder policy (copied into the source):
//     using Value;                                  // what a sample is differenced as
//     Value load(const std::uint8_t* sample) const; // one W-byte source sample
//     Word difference(Value current, Value previous) const;
//
//   Decoder policy (copied into the sink; holds the running value):
//     Word next(Word difference);  // apply one difference, return the W bytes to write
//
// where Word is the unsigned integer of W bytes.
#ifndef REDUCT_LZW_DIFFERENCE_MODEL_H
#define REDUCT_LZW_DIFFERENCE_MODEL_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "entry/byte_io.h"
#include "entry/codec_context.h"
#include "lzw/lzw_core.h"

namespace reduct::lzw {

template <std::size_t W>
using DifferenceWord = std::conditional_t<
    W == 2, std::uint16_t,
    std::conditional_t<W == 4, std::uint32_t, std::conditional_t<W == 8, std::uint64_t, void>>>;

// Encoder side: hands out the bytes of each difference. The differences of a
// block of samples are worked out together, which keeps the policy's
// arithmetic out of the per-symbol path.
template <std::size_t W, typename Policy>
class DifferenceSymbols {
public:
    static constexpr Alphabet ALPHABET = Alphabet::BYTE_SYMBOLS;
    using Word = DifferenceWord<W>;
    using Value = typename Policy::Value;

    // `samples` holds sampleCount >= 2 samples of W bytes; sample 0 only
    // starts the differences.
    DifferenceSymbols(const std::uint8_t* samples, std::int64_t sampleCount, Policy policy) noexcept
        : samples_(samples), sampleCount_(sampleCount), policy_(policy), previous_(policy_.load(samples)) {}

    // The bytes of the differences of up to BLOCK more samples.
    const std::uint8_t* NextBlock() noexcept {
        const std::int64_t left = sampleCount_ - next_;
        const std::int64_t n = left < BLOCK ? left : BLOCK;
        const std::uint8_t* p = samples_ + next_ * SAMPLE_SIZE;
        // Each difference is taken between two source samples, never
        // between a sample and a rebuilt one.
        Value previous = previous_;
        for (std::int64_t i = 0; i < n; ++i) {
            const Value current = policy_.load(p + i * SAMPLE_SIZE);
            storeWord<Word>(buffer_ + i * SAMPLE_SIZE, policy_.difference(current, previous));
            previous = current;
        }
        previous_ = previous;
        next_ += n;
        size_ = static_cast<std::size_t>(n * SAMPLE_SIZE);
        return buffer_;
    }
    std::size_t blockSize() const noexcept { return size_; }
    // Symbols are left while source samples are not yet all differenced.
    bool moreInput() const noexcept { return next_ < sampleCount_; }

private:
    static constexpr std::int64_t SAMPLE_SIZE = static_cast<std::int64_t>(W);
    static constexpr std::int64_t BLOCK = 1024;

    const std::uint8_t* samples_;
    std::int64_t sampleCount_;
    Policy policy_;
    Value previous_;         // the sample differenced last
    std::int64_t next_ = 1;  // the next sample to difference
    std::size_t size_ = 0;
    std::uint8_t buffer_[BLOCK * W];
};

// Decoder side: gathers W byte symbols into a difference and writes the
// sample it completes. It takes over the writer, with whatever the method
// wrote before the first difference already in it, and keeps it as its own
// so the per-string bookkeeping stays in the sink.
template <std::size_t W, typename Policy>
class DifferenceSink {
public:
    static constexpr Alphabet ALPHABET = Alphabet::BYTE_SYMBOLS;
    using Word = DifferenceWord<W>;

    DifferenceSink(const ByteWriter& out, Policy policy) noexcept : out_(out), policy_(policy) {}

    void putSymbols(const std::uint8_t* s, std::size_t n) noexcept {
        // Finish a difference begun in the previous block.
        while (n > 0 && pendingBytes_ != 0) {
            pending_[pendingBytes_++] = *s++;
            --n;
            if (pendingBytes_ == W) {
                pendingBytes_ = 0;
                emit(loadWord<Word>(pending_));
            }
        }
        // Whole differences straight from the block; one capacity check for
        // all of them when they fit.
        const std::size_t whole = n / W;
        if (out_.remainingCapacity() >= static_cast<std::int64_t>(whole * W)) {
            std::uint8_t* p = out_.cursor();
            Policy policy = policy_;  // a local copy stays in registers
            for (std::size_t k = 0; k < whole; ++k)
                storeWord<Word>(p + k * W, policy.next(loadWord<Word>(s + k * W)));
            policy_ = policy;
            out_.advance(static_cast<std::int64_t>(whole * W));
            differences_ += static_cast<std::int64_t>(whole);
        } else {
            for (std::size_t k = 0; k < whole; ++k) emit(loadWord<Word>(s + k * W));
        }
        // Fewer than W bytes are left: the start of the next difference.
        s += whole * W;
        n -= whole * W;
        for (std::size_t i = 0; i < n; ++i) pending_[pendingBytes_++] = s[i];
    }

    // No stream Encode makes decodes to more than 2^31 - 1 bytes; a longer
    // one is stopped instead of counted to its end.
    bool failed() const noexcept { return out_.length() > MAX_CODEC_LENGTH; }

    // The stream made whole differences, and at least one.
    bool complete() const noexcept { return differences_ > 0 && pendingBytes_ == 0; }
    // Bytes written, or needed, so far, the method's own lead-in included.
    std::int64_t length() const noexcept { return out_.length(); }

private:
    void emit(Word difference) noexcept {
        out_.put<Word>(policy_.next(difference));
        ++differences_;
    }

    ByteWriter out_;
    Policy policy_;
    std::uint8_t pending_[W] = {};  // the bytes of a difference not yet complete
    std::size_t pendingBytes_ = 0;
    std::int64_t differences_ = 0;
};

// Writes the method's lead-in, then codes the differences of
// samples[0 .. sampleCount); returns the stream's whole length. The bit
// writer stays local to this frame, where the dictionary loop runs.
template <std::size_t W, typename LeadIn, typename Policy>
std::int64_t encodeDifferences(const CodecContext& ctx, LeadIn writeLeadIn,
                               const std::uint8_t* samples, std::int64_t sampleCount,
                               Policy policy) noexcept {
    BitWriter out(ctx.dst, ctx.dstCap);
    writeLeadIn(out);
    DifferenceSymbols<W, Policy> symbols(samples, sampleCount, policy);
    WithDictionary<Alphabet::BYTE_SYMBOLS>((sampleCount - 1) * static_cast<std::int64_t>(W),
                                           [&](auto& dictionary) noexcept {
                                               EncodeDriver(symbols, out, dictionary);
                                           });
    return out.finish();
}

// Runs the code stream in `in` into the sink; the caller checks what the
// sink gathered.
template <std::size_t W, typename Policy>
CodecStatus decodeDifferences(BitReader& in, DifferenceSink<W, Policy>& sink) noexcept {
    CodeTable<std::uint8_t> table;
    return DecodeDriver(in, sink, table);
}

}  // namespace reduct::lzw

#endif  // REDUCT_LZW_DIFFERENCE_MODEL_H
