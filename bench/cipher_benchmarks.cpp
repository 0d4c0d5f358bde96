// RC4 keystream and MD5 throughput over 1 MiB, the wallet's own code beside OpenSSL's.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <array>
#include <memory>
#include <vector>

#include "core/cipher.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <openssl/rc4.h>
#pragma GCC diagnostic pop

namespace ks::bench {
namespace {

constexpr size_t kBlock = 1 << 20;
constexpr std::array<uint8_t, 16> kKey{0x13, 0x57, 0x9b, 0xdf, 0x02, 0x46, 0x8a, 0xce,
                                       0xf1, 0xe2, 0xd3, 0xc4, 0xb5, 0xa6, 0x97, 0x88};

std::vector<uint8_t> block_of_data() {
    std::vector<uint8_t> data(kBlock);
    for (size_t n = 0; n < data.size(); ++n) data[n] = static_cast<uint8_t>(n * 131 + 7);
    return data;
}

struct CipherDeleter {
    void operator()(EVP_CIPHER* c) const { EVP_CIPHER_free(c); }
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
    void operator()(EVP_MD* m) const { EVP_MD_free(m); }
    void operator()(EVP_MD_CTX* m) const { EVP_MD_CTX_free(m); }
};

// RC4 lives in OpenSSL 3's legacy provider; loading any provider explicitly stops the default
// one loading by itself, so both are loaded.
EVP_CIPHER* openssl_rc4() {
    static EVP_CIPHER* cipher = [] {
        OSSL_PROVIDER_load(nullptr, "default");
        OSSL_PROVIDER_load(nullptr, "legacy");
        return EVP_CIPHER_fetch(nullptr, "RC4", nullptr);
    }();
    return cipher;
}

void BM_rc4(benchmark::State& state) {
    auto data = block_of_data();
    Rc4 rc4(kKey);
    for (auto _ : state) {
        rc4.apply(data);
        benchmark::DoNotOptimize(data.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlock));
}

void BM_rc4_openssl(benchmark::State& state) {
    auto data = block_of_data();
    if (EVP_CIPHER* cipher = openssl_rc4()) {
        state.SetLabel("EVP (legacy provider)");
        std::unique_ptr<EVP_CIPHER_CTX, CipherDeleter> ctx(EVP_CIPHER_CTX_new());
        if (!ctx || EVP_EncryptInit_ex2(ctx.get(), cipher, kKey.data(), nullptr, nullptr) != 1) {
            state.SkipWithError("EVP RC4 init failed");
            return;
        }
        for (auto _ : state) {
            int out = 0;
            EVP_EncryptUpdate(ctx.get(), data.data(), &out, data.data(), static_cast<int>(kBlock));
            benchmark::DoNotOptimize(data.data());
            benchmark::ClobberMemory();
        }
    } else {
        state.SetLabel("low-level RC4");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        RC4_KEY key;
        RC4_set_key(&key, static_cast<int>(kKey.size()), kKey.data());
        for (auto _ : state) {
            RC4(&key, kBlock, data.data(), data.data());
            benchmark::DoNotOptimize(data.data());
            benchmark::ClobberMemory();
        }
#pragma GCC diagnostic pop
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlock));
}

void BM_md5(benchmark::State& state) {
    const auto data = block_of_data();
    for (auto _ : state) benchmark::DoNotOptimize(md5(data));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlock));
}

void BM_md5_openssl(benchmark::State& state) {
    const auto data = block_of_data();
    openssl_rc4();  // the same providers as the RC4 run
    std::unique_ptr<EVP_MD, CipherDeleter> md(EVP_MD_fetch(nullptr, "MD5", nullptr));
    if (!md) {
        state.SkipWithError("OpenSSL has no MD5");
        return;
    }
    std::array<uint8_t, EVP_MAX_MD_SIZE> digest{};
    for (auto _ : state) {
        unsigned int length = 0;
        EVP_Digest(data.data(), data.size(), digest.data(), &length, md.get(), nullptr);
        benchmark::DoNotOptimize(digest.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlock));
}

BENCHMARK(BM_rc4)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_rc4_openssl)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_md5)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_md5_openssl)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace ks::bench
