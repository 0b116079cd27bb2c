// zvcrypt: encrypts or decrypts standard input to standard output with AES-256.
// Binds the filter to the command line and the standard streams; prints nothing.
#include "crypt/platform.hpp"
#include "crypt/wipe.hpp"

int main(int argc, char** argv)
{
    std::vector<std::string_view> arguments = platform_arguments(argc, argv);
    KeyText text = parse_command_line(arguments);
    platform_wipe_arguments(argc, argv);
    arguments.clear();
    if (text.collected == 0)
        return FILTER_BAD_INPUT;

    FilterMode mode = key_text_mode(text);
    AesKey key = key_from_text(text);
    wipe_memory(&text, sizeof text);
    Cipher cipher{};
    cipher_init(cipher, key, cipher_best_path());
    wipe_memory(key.data(), key.size());

    platform_ignore_broken_pipe();
    FdReader input(0);
    FdWriter output(1);
    FilterStatus status = run_filter(mode, cipher, platform_timestamp(), input, output);
    cipher_wipe(cipher);
    return status;
}
