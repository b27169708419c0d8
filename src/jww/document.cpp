// SPDX-License-Identifier: GPL-3.0-or-later
#include "jww/document.h"

namespace jww {

TJwwData::TJwwData() { DataInit(); }

TJwwData::~TJwwData() { DataFree(); }

void TJwwData::DataInit() {
  Enthd = TEntJwwHeader{};
  Enthd.dPrtBairitsu = 1.0;
  Enthd.dMemoriHyoujiMin = 1.0;
  Enthd.dMemoriX = 1.0;
  Enthd.dMemoriY = 1.0;
  Enthd.dBairitsu = 1.0;
  Enthd.dHanniBairitsu = 1.0;
  Enthd.dZoomJumpBairitsu.fill(1.0);
  Enthd.nZoomJumpGLay.fill(-1);

  EntLgrp.clear();
  EntLay.clear();
  EntCol.clear();
  EntLtp1.clear();
  EntLtp2.clear();
  EntLtp3.clear();
  EntColS.clear();
  EntLtpS.clear();
  EntMoj.clear();

  EntNo.clear();
  EntLine.clear();
  EntLineN = 0;
  EntEnko.clear();
  EntEnkoN = 0;
  EntTen.clear();
  EntTenN = 0;
  EntMoji.clear();
  EntMojiN = 0;
  EntSunpo.clear();
  EntSunpoN = 0;
  EntSolid.clear();
  EntSolidN = 0;
  EntBlock.clear();
  EntBlockN = 0;
  EntBlockDef.clear();
  EntBlockDefN = 0;
  EntBlockTree.clear();
  EntBlockTreeN = 0;
  EntBlockNum = 0;

  FileOutOpt = 0;
  FontNameN = 0;
  FontNames.clear();
  MojiEncode = false;
  Macro = TextMacroValues{};
  LastWriteError.clear();
  ReadLog.Clear();
  BindImageInit();
  // BindImageFolder, BindImageExp, BindImageExr and the extents survive a reset.
}

void TJwwData::DataFree() {
  // Release memory, not just counts: a batch reuses one document per worker.
  std::vector<TEntJwwLine>().swap(EntLine);
  std::vector<TEntJwwEnko>().swap(EntEnko);
  std::vector<TEntJwwTen>().swap(EntTen);
  std::vector<TEntJwwMoji>().swap(EntMoji);
  std::vector<TEntJwwSunpo>().swap(EntSunpo);
  std::vector<TEntJwwSolid>().swap(EntSolid);
  std::vector<TEntJwwBlock>().swap(EntBlock);
  std::vector<TEntJwwBlockDef>().swap(EntBlockDef);
  std::vector<TEntJwwBlockTree>().swap(EntBlockTree);
  std::vector<TEntJwwNo>().swap(EntNo);
  DataInit();
}

}  // namespace jww
