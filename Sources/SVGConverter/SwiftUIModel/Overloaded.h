// A visitor made of lambdas, one per case of a variant.
#pragma once

namespace SwiftUIModel {

template <class... Fs>
struct Overloaded : Fs... {
  using Fs::operator()...;
};
template <class... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

}  // namespace SwiftUIModel
