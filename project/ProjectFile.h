// Project files: a generator, its pages included, in the plain-text object
// notation ("object TSiteGenerator" ... "end").
//
// The writer and the reader walk the generator's published property tables
// (SiteGeneratorClass(), SitePageClass()) by name, kind and order. Texts in
// the generator are Windows-1251; in the file every character is 7-bit ASCII,
// characters outside 32..127 and the apostrophe written as "#" and their
// UTF-16 code. Lines end in CR LF.
//
// File names are the platform's (UTF-8), and so is the generator's SavePath:
// the file stores that one in Windows-1251, converted here and nowhere else
// (see TPropInfo::platform_text), so a project can live in any folder while
// its output folder must be one the code page spells.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/FileSystem.h"
#include "engine/SiteGenerator.h"
#include "project/ObjectTextWriter.h"

namespace orvana {

// Writes the project file atomically: the whole text goes to a temporary file
// in the same folder, is flushed to disk and renamed over the target. A name
// that is a symbolic link stays a link: the file at the end of its chain is
// written (see TReplaceMode::kDocument). On any failure the temporary file is
// removed, an existing file keeps its old content, and EOrvanaError is
// thrown: 'Cannot store the output folder "PATH" in the project: ...' before
// anything is written when Windows-1251 cannot spell the SavePath (see
// CheckStorable); 'Cannot create file "PATH". REASON' (PATH absolute) when the file
// cannot be created, with REASON "Not a regular file" for a FIFO, a device
// and the like; 'Stream write error: "PATH". REASON (error N)' when a write
// fails. `fs` defaults to the real file system.
void SaveProjectFile(const TSiteGenerator& generator, const std::string& file_name,
                     TFileSystem* fs = nullptr);

// What the reader needs to know about its surroundings for the header name.
struct TProjectReadContext {
  // True when one of the application's windows bears the name; the header's
  // name then gains "_1", "_2", ... until no window does. Empty: no windows.
  std::function<bool(const std::string& name)> window_name_exists;
  // True when another component of the project window bears the name; the
  // read then fails with "A component named %s already exists". Empty: none.
  std::function<bool(const std::string& name)> component_name_exists;
  // Called with each warning about the extras block after the root object
  // (see ExtrasText.h), which never stops the project from loading. Empty:
  // the warnings are dropped.
  std::function<void(const std::string& warning)> warning;
};

// Reads project-file text into the generator, in two passes. Once the root
// object is assigned, the extras block after it (if any) gives the
// generator's extras, all of them: a file without one has every extra at
// its default. A syntax error
// throws EOrvanaError "<inner text> on line <n>" and leaves the generator
// untouched; an assignment error throws its message ("Error reading
// TSiteGenerator.Foo: Property Foo does not exist", ...) and leaves what was
// assigned before it. Names are byte strings in Windows-1251.
void ReadProjectText(std::string_view text, TSiteGenerator& generator,
                     const TProjectReadContext& context = {});

// The same for a text the caller gives up: it is freed once it is parsed,
// before the properties are assigned, so that a large project is not held
// twice.
void ReadProjectText(std::string&& text, TSiteGenerator& generator,
                     const TProjectReadContext& context = {});

// The same for a text held elsewhere: `release_text` is called once it is
// parsed, before the properties are assigned; the text is not looked at
// after that.
void ReadProjectText(std::string_view text, const std::function<void()>& release_text,
                     TSiteGenerator& generator, const TProjectReadContext& context = {});

// The largest project file LoadProjectFile reads: far beyond what a site
// held in memory can make, yet a file that never ends (one a program keeps
// writing, or a file system's endless file) is stopped.
inline constexpr uint64_t kMaxProjectFileBytes = uint64_t{16} << 30;

// Reads the file and then its text as ReadProjectText does. A file that
// cannot be opened or read throws 'Cannot open file "PATH". REASON' (PATH
// absolute); a name that is not a regular file is refused before anything is
// read, with REASON "Is a directory" for a folder and "Not a regular file"
// for a FIFO, a device and the like; a file of more than `max_bytes` bytes is
// refused before it is read (or as soon as it grows past them) with REASON
// "File too large (more than N bytes)" ("N GiB" for whole gibibytes). The
// file is read only as far as the reader can take it: where a line passes
// the reader's limit, the rest is never read, and the result (the error
// "Line too long on line N", or the project when its text ends before that
// line) is the one the whole text gives.
void LoadProjectFile(const std::string& file_name, TSiteGenerator& generator,
                     const TProjectReadContext& context = {},
                     uint64_t max_bytes = kMaxProjectFileBytes);

}  // namespace orvana
