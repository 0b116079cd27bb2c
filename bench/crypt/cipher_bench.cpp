// In-process throughput of the block-run operations on both cipher paths (1 MiB per run),
// and of the whole filter on memory buffers; the portable path can only be measured here
// because the program always picks the fastest path.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "crypt/cipher.hpp"
#include "crypt/filter.hpp"

namespace {

constexpr size_t RUN_BYTES = size_t{1} << 20;

enum BenchOp { OP_ECB_ENCRYPT, OP_ECB_DECRYPT, OP_CBC_ENCRYPT, OP_CBC_DECRYPT };

Cipher bench_cipher(CipherPath path)
{
    AesKey key{};
    for (size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<uint8_t>(i * 7 + 1);
    Cipher cipher{};
    cipher_init(cipher, key, path);
    return cipher;
}

void bm_cipher(benchmark::State& state)
{
    CipherPath path = static_cast<CipherPath>(state.range(0));
    BenchOp op = static_cast<BenchOp>(state.range(1));
    if (path == CIPHER_AESNI && !cipher_aesni_available()) {
        state.SkipWithError("no AES instructions");
        return;
    }
    Cipher cipher = bench_cipher(path);
    std::vector<uint8_t> data(RUN_BYTES, 0xA5);
    AesBlock chain{};
    for (auto _ : state) {
        switch (op) {
        case OP_ECB_ENCRYPT:
            cipher_ecb_encrypt(cipher, data);
            break;
        case OP_ECB_DECRYPT:
            cipher_ecb_decrypt(cipher, data);
            break;
        case OP_CBC_ENCRYPT:
            cipher_cbc_encrypt(cipher, chain, data);
            break;
        case OP_CBC_DECRYPT:
            cipher_cbc_decrypt(cipher, chain, data);
            break;
        }
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * RUN_BYTES));
}

class ZeroReader final : public ByteReader {
public:
    explicit ZeroReader(size_t total) : left_(total) {}
    size_t read(std::span<uint8_t> into) override
    {
        size_t n = std::min(left_, into.size());
        std::memset(into.data(), 0x3C, n);
        left_ -= n;
        return n;
    }

private:
    size_t left_;
};

class NullWriter final : public ByteWriter {
public:
    bool write(std::span<const uint8_t> bytes) override
    {
        benchmark::DoNotOptimize(bytes.data());
        return true;
    }
};

// The whole filter (buffering, trailer handling) in ECB encryption over 16 MiB.
void bm_filter(benchmark::State& state)
{
    CipherPath path = static_cast<CipherPath>(state.range(0));
    if (path == CIPHER_AESNI && !cipher_aesni_available()) {
        state.SkipWithError("no AES instructions");
        return;
    }
    Cipher cipher = bench_cipher(path);
    const size_t total = path == CIPHER_AESNI ? size_t{16} << 20 : size_t{1} << 20;
    for (auto _ : state) {
        ZeroReader reader(total + 5);
        NullWriter writer;
        benchmark::DoNotOptimize(run_filter(MODE_ECB_ENCRYPT, cipher, 0, reader, writer));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total));
}

void path_and_op_args(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"path", "op"});
    for (int path : {CIPHER_PORTABLE, CIPHER_AESNI})
        for (int op : {OP_ECB_ENCRYPT, OP_ECB_DECRYPT, OP_CBC_ENCRYPT, OP_CBC_DECRYPT})
            b->Args({path, op});
}

BENCHMARK(bm_cipher)->Apply(path_and_op_args)->Unit(benchmark::kMillisecond);
BENCHMARK(bm_filter)->ArgName("path")->Arg(CIPHER_PORTABLE)->Arg(CIPHER_AESNI)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
