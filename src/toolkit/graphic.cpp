// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/graphic.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "toolkit/exceptions.h"
#include "toolkit/regular_file.h"

namespace lumora {

void TGraphic::LoadFromFile(const std::string& fileName) {
  RegularFileStream in(fileName);
  LoadFromStream(in);
}

void TGraphic::SaveToFile(const std::string& fileName) {
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  if (!out) {
    throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(errno));
  }
  SaveToStream(out);
  out.flush();
  if (!out) throw EWriteError("Stream write error: \"" + fileName + "\"");
}

void TGraphic::Assign(const TGraphic& source) {
  source.AssignTo(*this);
}

void TGraphic::AssignTo(TGraphic& dest) const {
  throw EConvertError(std::string("Cannot assign a ") + ClassName() + " to a " + dest.ClassName());
}

}  // namespace lumora
