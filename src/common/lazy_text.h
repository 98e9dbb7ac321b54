#pragma once
// A text made only when it is needed, such as a failure's description on a path
// that almost never fails: it refers to any callable that returns Text, and one
// function serves every caller instead of a copy of it per callable.
#include <concepts>
#include <type_traits>

#include "common/text.h"

namespace tabulon {

class LazyText;

// Any callable that makes a Text, other than a LazyText itself.
template <typename Make>
concept TextMaker = !std::same_as<Make, LazyText> && std::is_invocable_r_v<Text, const Make&>;

class LazyText {
  public:
    // The callable must outlive every use of this reference to it.
    template <TextMaker Make>
    LazyText(const Make& make) noexcept
        : make_(&make),
          call_([](const void* m) { return Text((*static_cast<const Make*>(m))()); }) {}

    Text operator()() const { return call_(make_); }

  private:
    const void* make_;
    Text (*call_)(const void*);
};

}  // namespace tabulon
