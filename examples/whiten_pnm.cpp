// Whitens a binary PPM or PGM page from standard input into a PGM on standard output.
#include <whiten.h>

#include <iostream>
#include <string>
#include <vector>

int main() {
    std::string magic;
    int width = 0, height = 0, maxValue = 0;
    std::cin >> magic >> width >> height >> maxValue;
    std::cin.get();  // the one blank before the samples
    const int channels = magic == "P6" ? 3 : 1;
    std::vector<std::uint8_t> samples(std::size_t(width) * height * channels);
    std::cin.read(reinterpret_cast<char*>(samples.data()), std::streamsize(samples.size()));
    const whiten::GrayPage gray = whiten::Whiten({samples.data(), width, height, width * channels, channels});
    std::cout << "P5\n" << width << ' ' << height << "\n255\n";
    std::cout.write(reinterpret_cast<const char*>(gray.bytes.data()), std::streamsize(gray.bytes.size()));
}
