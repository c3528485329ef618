// The floor vekhost is measured against: nlohmann-json alone reading a
// drawing file into its document and writing it out again as vekhost writes
// --out (an indent of two). No checks, no host, no session.
//
//   json_floor IN.json OUT.json
#include <fstream>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: json_floor IN.json OUT.json\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const nlohmann::json document = nlohmann::json::parse(text);
  std::ofstream out(argv[2], std::ios::binary);
  out << document.dump(2) << '\n';
  return out ? 0 : 1;
}
