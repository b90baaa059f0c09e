// The batch tool's command line: one verb, its positional arguments and its options.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvel::cli {

// Bad usage: the message is printed with the verb's usage line and the tool exits with 2.
class EUsage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TOptionRule {
  std::string Name;  // "--out"
  bool TakesValue = false;
};

class TArgs {
 public:
  // Splits `args` (without the verb) into positionals and the options of `options`; "--name=value"
  // and "--name value" both work, "--" ends the options. Unknown options raise EUsage.
  TArgs(const std::vector<std::string>& args, const std::vector<TOptionRule>& options);

  const std::vector<std::string>& Positionals() const { return positionals_; }
  bool Has(const std::string& name) const { return options_.count(name) > 0; }
  std::optional<std::string> Value(const std::string& name) const;

 private:
  std::vector<std::string> positionals_;
  std::map<std::string, std::string> options_;
};

}  // namespace tarvel::cli
