#include "support/Signals.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <numbers>
#include <random>

namespace testsupport {

std::vector<int16_t> Tone(double frequency, double amplitude, uint32_t rate, uint16_t channels, size_t frames)
{
    std::vector<int16_t> out(frames * channels);
    for (size_t i = 0; i < frames; ++i) {
        const double phase = 2 * std::numbers::pi * frequency * static_cast<double>(i) / rate;
        const auto value = static_cast<int16_t>(std::lround(amplitude * 32767.0 * std::sin(phase)));
        std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(i * channels), channels, value);
    }
    return out;
}

Bytes ToneBytes(double frequency, double amplitude, uint32_t rate, uint16_t channels, size_t frames)
{
    return ToBytes(Tone(frequency, amplitude, rate, channels, frames));
}

std::vector<int16_t> MusicSignal(uint32_t rate, uint16_t channels, size_t frames, uint32_t seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 0.003);
    const double tones[] = {220.0, 330.0, 440.5, 659.3, 1318.5, 2637.0};
    const double levels[] = {0.16, 0.12, 0.10, 0.06, 0.04, 0.02};
    std::vector<int16_t> out(frames * channels);
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        // Notes of 250 ms with a quick attack and a slow decay.
        const double noteTime = std::fmod(t, 0.25);
        const double envelope = std::min(1.0, noteTime * 200.0) * std::exp(-noteTime * 6.0);
        for (uint16_t c = 0; c < channels; ++c) {
            double value = 0;
            for (size_t k = 0; k < std::size(tones); ++k) {
                const double frequency = tones[k] * (1.0 + 0.01 * c);
                if (frequency < rate / 2.2) {
                    value += levels[k] * std::sin(2 * std::numbers::pi * frequency * t + c + k);
                }
            }
            value = value * envelope * 1.4 + noise(random);
            out[i * channels + c] = static_cast<int16_t>(std::lround(std::clamp(value, -1.0, 1.0) * 32767.0));
        }
    }
    return out;
}

Bytes Noise(size_t length, uint32_t seed)
{
    std::mt19937 random(seed);
    Bytes out(length);
    for (auto& byte : out) {
        byte = static_cast<uint8_t>(random());
    }
    return out;
}

Bytes ToBytes(const std::vector<int16_t>& samples)
{
    Bytes bytes(samples.size() * 2);
    if (!samples.empty()) {
        std::memcpy(bytes.data(), samples.data(), bytes.size());
    }
    return bytes;
}

std::vector<int16_t> ToSamples(const Bytes& bytes)
{
    std::vector<int16_t> samples(bytes.size() / 2);
    if (!samples.empty()) {
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    }
    return samples;
}

} // namespace testsupport
