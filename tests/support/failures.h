#pragma once

// Catching what a call throws, for assertions on the exception.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/wstring.h"

namespace qel::test {

// The exception of type Error that call throws; none, and a failure of the
// test, when it throws nothing.
template <typename Error, typename Call> std::optional<Error> thrownBy(Call&& call, const std::string& what = {})
{
    try {
        call();
    } catch (const Error& error) {
        return error;
    }
    ADD_FAILURE() << "nothing was thrown" << (what.empty() ? "" : ": ") << what;
    return std::nullopt;
}

// The message of the exception of type Error that call throws; empty, and a
// failure of the test, when it throws nothing.
template <typename Error, typename Call> WString messageThrownBy(Call&& call, const std::string& what = {})
{
    const auto error = thrownBy<Error>(std::forward<Call>(call), what);
    return error ? error->message : WString();
}

}  // namespace qel::test
