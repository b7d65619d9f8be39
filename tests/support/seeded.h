// Properties checked on random inputs: each round draws from a generator of its own
// seed, which a failure names, so that one round can be replayed alone.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <string_view>

namespace vexal::test {

// Runs check(random, round) for rounds rounds, the generator seeded with seed + round.
template <typename Check>
void for_each_seed(unsigned seed, unsigned rounds, Check check) {
  for (unsigned round = 0; round < rounds; ++round) {
    SCOPED_TRACE("seed " + std::to_string(seed + round));
    std::mt19937 random(seed + round);
    check(random, round);
    if (::testing::Test::HasFatalFailure()) {
      return;
    }
  }
}

// A number from 0 to n - 1.
inline std::size_t pick(std::mt19937& random, std::size_t n) {
  return static_cast<std::size_t>(random() % n);
}

// A text of min_length to max_length characters of the alphabet.
inline std::string random_text(std::mt19937& random, std::string_view alphabet,
                               std::size_t min_length, std::size_t max_length) {
  std::string text(min_length + pick(random, max_length - min_length + 1), ' ');
  for (char& c : text) {
    c = alphabet[pick(random, alphabet.size())];
  }
  return text;
}

}  // namespace vexal::test
