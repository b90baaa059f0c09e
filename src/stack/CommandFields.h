// A walk over the stored parameters of a stack command, key by key. One walk serves every text
// form of a stack: the batch tool's listing and the JSON form write through it, and the JSON
// reader fills a command through it. A walker that reads leaves a field whose key it does not
// find at the value the command already holds (a new command's start value).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tarvel {

class ICommandFields {
 public:
  virtual ~ICommandFields() = default;

  // True when the walk fills the command from outside (a reader), false when it only looks.
  virtual bool Reading() const = 0;

  virtual void Field(const char* key, std::int32_t& value) = 0;
  virtual void Field(const char* key, float& value) = 0;
  virtual void Field(const char* key, double& value) = 0;
  virtual void Field(const char* key, bool& value) = 0;
  virtual void Field(const char* key, std::string& value) = 0;
  // Three singles written as one array ("offset": [0.25, -1.5, 3]).
  virtual void Vector(const char* key, float& x, float& y, float& z) = 0;
  // An integer stored as the index of one of named choices ("mode": "surface"). A value outside
  // the names is written as its number.
  virtual void Choice(const char* key, std::int32_t& value, std::span<const char* const> names) = 0;
  // The same for a choice stored in one byte. A walker that reads refuses a number above 255;
  // this default, for walkers that only look, goes through the 32-bit choice.
  virtual void Choice(const char* key, std::uint8_t& value, std::span<const char* const> names) {
    std::int32_t wide = value;
    Choice(key, wide, names);
    value = static_cast<std::uint8_t>(wide);
  }
};

}  // namespace tarvel
