#pragma once
// Turns what callers pass to ExtAudioFileOpenURL (a file URL or a plain path) into a path.

#include <optional>
#include <string>

// "file:///a%20b.m4a" and "file://localhost/a%20b.m4a" give "/a b.m4a"; a string without a
// scheme is taken as a path unchanged. Other schemes, a host other than localhost, and
// malformed escapes give nothing.
std::optional<std::string> localPathFromUrl(const std::string& url);
