#include "formats/jww/jws_data.h"

namespace zumen {

void TJwsData::DataInit() {
  Enthd = TEntJwsHeader{};
  EntLgrp = {};
  EntMoj = {};
  Body.Clear();
  BytesRead = 0;
  FontNames.clear();
  BindImageInit();
  last_error_.clear();
}

}  // namespace zumen
