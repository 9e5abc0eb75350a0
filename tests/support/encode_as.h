// Test helper: text in a legacy charset, made with ICU independently of our own encoder.
#pragma once

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <string>

#include "formats/html_tokenizer.h"

namespace tq::test {

// Encodes UTF-8 text into a charset with ICU; fails the test when a character does not fit.
inline std::string EncodeAs(const std::string& utf8, const char* charset) {
  const std::u16string text = Utf8ToUtf16(utf8);
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(charset, &error);
  ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
  std::string out(text.size() * 4 + 16, '\0');
  const int32_t n = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                                    reinterpret_cast<const UChar*>(text.data()),
                                    static_cast<int32_t>(text.size()), &error);
  ucnv_close(converter);
  EXPECT_TRUE(U_SUCCESS(error)) << charset << ": " << u_errorName(error);
  out.resize(U_SUCCESS(error) ? static_cast<std::size_t>(n) : 0);
  return out;
}

}  // namespace tq::test
