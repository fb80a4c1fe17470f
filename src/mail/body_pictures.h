// The page's pictures in the composer's rich edit body: each one drawn right after its
// "[label]" (which stays, as the text the page model knows), and the drawn pictures taken
// out of the body's text again before the text goes back into the page.
#pragma once

#include "mail/editable_page.h"

#include <windows.h>

#include <string>
#include <vector>

namespace tarn::mail {

// Draws every picture of `looks` whose file can be found and decoded (relative to
// `pageFolder`), at most kMaxWidth pixels wide; a picture that cannot be drawn keeps
// only its label.
void InsertBodyPictures(HWND richEdit, const std::vector<LookSpan>& looks, const std::wstring& pageFolder) noexcept;

// `text` (the rich edit's text, one character per paragraph end and per object) without
// the characters of embedded objects.
[[nodiscard]] std::wstring WithoutObjects(HWND richEdit, std::wstring text);

}  // namespace tarn::mail
