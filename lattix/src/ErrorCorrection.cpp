#include "ErrorCorrection.h"

#include <array>
#include <cstddef>

namespace lattix {
namespace {

constexpr int kModulus = 929;
constexpr int kMaxLevel = 8;

// Coefficients of the generator polynomial (x - 3)(x - 3^2)...(x - 3^k), lowest degree first, the
// leading 1 left out; computed once for every level.
struct GeneratorTable
{
    std::array<std::vector<int>, kMaxLevel + 1> coefficients;

    GeneratorTable()
    {
        for (int level = 0; level <= kMaxLevel; ++level) {
            const int k = errorCorrectionCount(level);
            std::vector<int> poly(static_cast<std::size_t>(k) + 1, 0);
            poly[0] = 1;
            int root = 1;
            for (int i = 1; i <= k; ++i) {
                root = root * 3 % kModulus;
                // poly *= (x - root)
                for (int j = i; j >= 0; --j) {
                    const int shifted = j > 0 ? poly[static_cast<std::size_t>(j - 1)] : 0;
                    const int scaled = poly[static_cast<std::size_t>(j)] * root % kModulus;
                    poly[static_cast<std::size_t>(j)] = (shifted + kModulus - scaled) % kModulus;
                }
            }
            poly.pop_back();
            coefficients[static_cast<std::size_t>(level)] = std::move(poly);
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
    const std::vector<int>& a = generatorTable().coefficients.at(static_cast<std::size_t>(level));
    const std::size_t k = a.size();
    // Division by the generator with a shift register, as in ISO/IEC 15438 Annex A.
    std::vector<int> ec(k, 0);
    for (int codeword : data) {
        const int t1 = (codeword + ec[k - 1]) % kModulus;
        for (std::size_t j = k - 1; j > 0; --j)
            ec[j] = (ec[j - 1] + kModulus - t1 * a[j] % kModulus) % kModulus;
        ec[0] = (kModulus - t1 * a[0] % kModulus) % kModulus;
    }
    std::vector<int> result(k);
    for (std::size_t j = 0; j < k; ++j) {
        const int value = ec[k - 1 - j];
        result[j] = value == 0 ? 0 : kModulus - value;
    }
    return result;
}

} // namespace lattix
