#include "ErrorCorrection.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace lattix {
namespace {

constexpr int kModulus = 929;
constexpr int kMaxLevel = 8;

// The generator polynomial (x - 3)(x - 3^2)...(x - 3^k) of every level, as the values that division
// adds for each of its coefficients below the leading 1: (929 - coefficient) mod 929, highest degree
// first.
struct GeneratorTable
{
    std::array<std::vector<std::uint32_t>, kMaxLevel + 1> negatedCoefficients;

    GeneratorTable()
    {
        for (int level = 0; level <= kMaxLevel; ++level) {
            const int k = errorCorrectionCount(level);
            // poly[j] is the coefficient of x^j.
            std::vector<int> poly(static_cast<std::size_t>(k) + 1, 0);
            poly[0] = 1;
            int root = 1;
            for (int i = 1; i <= k; ++i) {
                root = root * 3 % kModulus;
                for (int j = i; j >= 0; --j) {
                    const int shifted = j > 0 ? poly[static_cast<std::size_t>(j - 1)] : 0;
                    const int scaled = poly[static_cast<std::size_t>(j)] * root % kModulus;
                    poly[static_cast<std::size_t>(j)] = (shifted + kModulus - scaled) % kModulus;
                }
            }
            std::vector<std::uint32_t>& negated = negatedCoefficients[static_cast<std::size_t>(level)];
            negated.resize(static_cast<std::size_t>(k));
            for (int j = 0; j < k; ++j)
                negated[static_cast<std::size_t>(j)] =
                    static_cast<std::uint32_t>((kModulus - poly[static_cast<std::size_t>(k - 1 - j)]) % kModulus);
        }
    }
};

const GeneratorTable& generatorTable()
{
    static const GeneratorTable table;
    return table;
}

} // namespace

std::vector<int> computeErrorCorrection(std::span<const int> data, int level)
{
    const std::vector<std::uint32_t>& negated =
        generatorTable().negatedCoefficients.at(static_cast<std::size_t>(level));
    const std::size_t k = negated.size();
    const std::size_t n = data.size();
    // Long division of data(x) * x^k by the generator; the shift register of ISO/IEC 15438 gives the
    // same remainder. Sums are reduced only when a coefficient is used: a position collects at most k
    // products below 929^2, which 32 bits hold for k up to 512.
    std::vector<std::uint32_t> work(n + k, 0);
    for (std::size_t i = 0; i < n; ++i)
        work[i] = static_cast<std::uint32_t>(data[i]);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t coefficient = work[i] % kModulus;
        if (coefficient == 0)
            continue;
        std::uint32_t* target = work.data() + i + 1;
        for (std::size_t j = 0; j < k; ++j)
            target[j] += coefficient * negated[j];
    }
    // The check codewords are the negated remainder, so that the whole symbol divides by the generator.
    std::vector<int> check(k);
    for (std::size_t j = 0; j < k; ++j) {
        const std::uint32_t remainder = work[n + j] % kModulus;
        check[j] = static_cast<int>((kModulus - remainder) % kModulus);
    }
    return check;
}

} // namespace lattix
