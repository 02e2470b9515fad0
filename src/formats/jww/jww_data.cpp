#include "formats/jww/jww_data.h"

namespace zumen {

void TJwwData::DataInit() {
  Enthd = TEntJwwHeader{};
  EntLgrp = {};
  EntLay = {};
  EntCol = {};
  EntLtp1 = {};
  EntLtp2 = {};
  EntLtp3 = {};
  EntColS = {};
  EntLtpS = {};
  EntMoj = {};
  Body.Clear();
  BytesRead = 0;
  FileOutOpt = 0;
  FontNames.clear();
  BindImageInit();
  last_error_.clear();
}

void TJwwData::DataFree() {
  // The members of every definition go with Body.Clear().
  DataInit();
}

}  // namespace zumen
