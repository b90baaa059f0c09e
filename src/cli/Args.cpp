#include "cli/Args.h"

#include <algorithm>

namespace tarvel::cli {

TArgs::TArgs(const std::vector<std::string>& args, const std::vector<TOptionRule>& options) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.size() < 2 || a[0] != '-' || a == "-") {
      positionals_.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    const std::size_t eq = a.find('=');
    const std::string name = a.substr(0, eq);
    const auto option = std::find_if(options.begin(), options.end(),
                                     [&](const TOptionRule& s) { return s.Name == name; });
    if (option == options.end()) throw EUsage("unknown option " + name);
    if (!option->TakesValue) {
      if (eq != std::string::npos) throw EUsage(name + " takes no value");
      options_[name] = "";
      continue;
    }
    if (eq != std::string::npos) {
      options_[name] = a.substr(eq + 1);
    } else {
      if (i + 1 >= args.size()) throw EUsage(name + " needs a value");
      options_[name] = args[++i];
    }
  }
}

std::optional<std::string> TArgs::Value(const std::string& name) const {
  const auto it = options_.find(name);
  if (it == options_.end()) return std::nullopt;
  return it->second;
}

}  // namespace tarvel::cli
