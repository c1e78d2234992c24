#pragma once

#include "kernel/values/StPackedDictionaryKey.h"

namespace nuvo::ErrorBagKeys {

// Attributes and elements of an error record's bag form.
inline constexpr StPackedDictionaryKey error_code("error_code");
inline constexpr StPackedDictionaryKey task_id("task_id");
inline constexpr StPackedDictionaryKey task_name("task_name");
inline constexpr StPackedDictionaryKey parameters("parameters");
// A context's bag form: one "error" element per record; "error_stack" names a context's bag
// nested in a larger one.
inline constexpr StPackedDictionaryKey error("error");
inline constexpr StPackedDictionaryKey error_stack("error_stack");

// Parameters with a meaning of their own.
inline constexpr StPackedDictionaryKey error_description("error_description");
inline constexpr StPackedDictionaryKey action_description("action_description");
inline constexpr StPackedDictionaryKey p1("p1");
inline constexpr StPackedDictionaryKey p2("p2");
inline constexpr StPackedDictionaryKey p3("p3");

// BuildErrorStack.
inline constexpr StPackedDictionaryKey stack_error("__ERROR");
inline constexpr StPackedDictionaryKey message("message");
inline constexpr StPackedDictionaryKey componentSignature("componentSignature");
inline constexpr StPackedDictionaryKey errCode("errCode");

} // namespace nuvo::ErrorBagKeys
