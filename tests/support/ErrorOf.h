#pragma once
// Message of the runtime exception a call raises, so that a test can compare
// the text a user would see; "(no error)" when the call goes through.

#include "Exception.h"

#include <string>

template <class F>
std::string ErrorOf(F&& Fn) {
    try {
        Fn();
    } catch (const Exception& E) {
        return E.Message();
    }
    return "(no error)";
}
