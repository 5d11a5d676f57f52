// CRC-32 of a 100 MB file: the program's sum (zlib) against the classic
// byte-at-a-time table loop over 4096-byte reads. Prints MB/s, median of
// five runs each, and checks that both give the same sum.
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <vector>

#include "update/Updater.h"

namespace {

DWORD TableCrc32(const QString& path) {
    std::array<DWORD, 256> table{};
    for (DWORD i = 0; i < 256; ++i) {
        DWORD c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return 0;
    DWORD crc = 0xFFFFFFFFu;
    std::vector<unsigned char> block(4096);
    for (;;) {
        const qint64 n = f.read(reinterpret_cast<char*>(block.data()), 4096);
        if (n <= 0)
            break;
        for (qint64 i = 0; i < n; ++i)
            crc = (crc >> 8) ^ table[(crc ^ block[static_cast<size_t>(i)]) & 0xFF];
    }
    return ~crc;
}

template <class F>
double MedianMBps(F&& sum, double megabytes) {
    std::vector<double> rates;
    for (int run = 0; run < 5; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        sum();
        const std::chrono::duration<double> s = std::chrono::steady_clock::now() - t0;
        rates.push_back(megabytes / s.count());
    }
    std::sort(rates.begin(), rates.end());
    return rates[2];
}

}  // namespace

int main() {
    QTemporaryDir dir;
    const QString path = dir.path() + "/data";
    constexpr qint64 kSize = 100LL * 1024 * 1024;
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        std::vector<char> chunk(1 << 20);
        DWORD x = 12345;
        for (qint64 done = 0; done < kSize; done += static_cast<qint64>(chunk.size())) {
            for (char& c : chunk) {
                x = x * 1103515245u + 12345u;
                c = static_cast<char>(x >> 24);
            }
            f.write(chunk.data(), static_cast<qint64>(chunk.size()));
        }
    }
    DWORD zlibSum = 0;
    const double mb = static_cast<double>(kSize) / (1024.0 * 1024.0);
    const double zlibRate = MedianMBps([&] { FileCrc32(path, &zlibSum); }, mb);
    DWORD tableSum = 0;
    const double tableRate = MedianMBps([&] { tableSum = TableCrc32(path); }, mb);
    std::printf("zlib crc32:  %8.0f MB/s\ntable loop:  %8.0f MB/s\nsums %s (%08x)\n", zlibRate,
                tableRate, zlibSum == tableSum ? "agree" : "DIFFER", zlibSum);
    return zlibSum == tableSum ? 0 : 1;
}
