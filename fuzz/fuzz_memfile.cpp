// The memory stream under arbitrary sequences of operations, checked
// against a plain model of the bytes it must hold.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "glyphrun/gr_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using glyphrun::GrMemFile;
    GrMemFile file;
    if (!file.Open()) return 0;
    std::vector<uint8_t> model;
    size_t position = 0;
    for (size_t i = 0; i + 2 < size; i += 3) {
        const uint8_t op = data[i] % 6, a = data[i + 1], b = data[i + 2];
        switch (op) {
            case 0: {  // write a bytes of value b; writing nothing leaves the stream as it is
                if (a == 0) break;
                const std::vector<uint8_t> bytes(a, b);
                if (file.Write(bytes.data(), 1, a) != a) std::abort();
                if (position + a > model.size()) model.resize(position + a, 0);
                std::copy(bytes.begin(), bytes.end(), model.begin() + static_cast<std::ptrdiff_t>(position));
                position += a;
                break;
            }
            case 1: {  // read a bytes
                std::vector<uint8_t> bytes(a + 1);
                const size_t n = file.Read(bytes.data(), 1, a);
                const size_t expected = position >= model.size() ? 0 : std::min<size_t>(a, model.size() - position);
                if (n != expected ||
                    !std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n),
                                model.begin() + static_cast<std::ptrdiff_t>(std::min(position, model.size()))))
                    std::abort();
                position += n;
                break;
            }
            case 2:  // seek
                if (!file.Seek(static_cast<int8_t>(a) * 16 + b, b % 3)) std::abort();
                {
                    const long base = b % 3 == 0   ? 0
                                      : b % 3 == 1 ? static_cast<long>(position)
                                                   : static_cast<long>(model.size());
                    const long target = base + static_cast<int8_t>(a) * 16 + b;
                    position = target < 0 ? 0 : static_cast<size_t>(target);
                }
                break;
            case 3:
                if (!file.PutC(a)) std::abort();
                if (position >= model.size()) model.resize(position + 1, 0);
                model[position++] = a;
                break;
            case 4: {
                const long c = file.GetC();
                const long expected = position < model.size() ? model[position] : -1;
                if (c != expected) std::abort();
                if (c >= 0) ++position;
                break;
            }
            default:
                if (file.Size() != static_cast<long>(model.size()) || file.Tell() != static_cast<long>(position))
                    std::abort();
        }
    }
    return 0;
}
