// velm-fxc: compiles an effect source (.fx) into the container the engine
// loads (.fxo). Every program of every pass is checked with glslangValidator
// (linked vertex + fragment); any error fails the run and no output is left.
//
//   velm-fxc [--glslang PATH] input.fx output.fxo
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "platform/gfx/effect_format.h"
#include "tools/fxc/fx_source.h"

namespace {

bool readFile(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *out = s.str();
  return true;
}

bool writeFile(const std::string& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

// Runs glslangValidator on one pass; prints its diagnostics on failure.
bool validatePass(const std::string& glslang, const std::string& dir, const std::string& label,
                  const gfx::PassDesc& pass) {
  const std::string vert = dir + "/pass.vert", frag = dir + "/pass.frag", log = dir + "/log.txt";
  if (!writeFile(vert, pass.vertexSource.data(), pass.vertexSource.size()) ||
      !writeFile(frag, pass.fragmentSource.data(), pass.fragmentSource.size())) {
    std::cerr << "velm-fxc: cannot write temporary files in " << dir << "\n";
    return false;
  }
  const std::string cmd = "'" + glslang + "' -l '" + vert + "' '" + frag + "' > '" + log + "' 2>&1";
  const int status = std::system(cmd.c_str());
  if (status == 0) return true;
  std::string output;
  readFile(log, &output);
  std::cerr << "velm-fxc: " << label << ": GLSL check failed";
  if (status == -1 || (WIFEXITED(status) && WEXITSTATUS(status) == 127))
    std::cerr << " (could not run '" << glslang << "'; install the Debian package glslang-tools)";
  std::cerr << "\n" << output;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::string glslang = "glslangValidator";
  int arg = 1;
  if (argc > 2 && std::string(argv[1]) == "--glslang") {
    glslang = argv[2];
    arg = 3;
  }
  if (argc - arg != 2) {
    std::cerr << "usage: velm-fxc [--glslang PATH] input.fx output.fxo\n";
    return 2;
  }
  const std::string input = argv[arg], output = argv[arg + 1];

  std::string text;
  if (!readFile(input, &text)) {
    std::cerr << "velm-fxc: cannot read " << input << "\n";
    return 1;
  }
  gfx::EffectDesc effect;
  std::string error;
  if (!fxc::parseFxSource(text, input, &effect, &error)) {
    std::cerr << "velm-fxc: " << error << "\n";
    return 1;
  }

  char dirTemplate[] = "/tmp/velm-fxc-XXXXXX";
  const char* dir = mkdtemp(dirTemplate);
  if (!dir) {
    std::cerr << "velm-fxc: cannot create a temporary directory\n";
    return 1;
  }
  bool ok = true;
  for (const gfx::TechniqueDesc& t : effect.techniques)
    for (const gfx::PassDesc& p : t.passes)
      ok = ok && validatePass(glslang, dir, input + " technique " + t.name + " pass " + p.name, p);
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  if (!ok) return 1;

  const std::vector<uint8_t> bytes = gfx::serializeEffect(effect);
  const std::string temp = output + ".tmp";
  if (!writeFile(temp, bytes.data(), bytes.size()) || std::rename(temp.c_str(), output.c_str()) != 0) {
    std::remove(temp.c_str());
    std::cerr << "velm-fxc: cannot write " << output << "\n";
    return 1;
  }
  return 0;
}
