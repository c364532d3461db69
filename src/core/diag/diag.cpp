#include "core/diag/diag.h"

#include <algorithm>
#include <cstdio>

#include "core/access/translator.h"
#include "core/common/textutil.h"
#include "core/comms/bushost.h"
#include "core/site/detector.h"

namespace quillark {

std::string DiagDeviceName(int device) {
  return Format("%d-%03d", (device >> 8) + 1, device & 0xFF);
}

int DiagParseDevice(std::string_view row) {
  const std::size_t dash = row.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash > 2) return -1;
  std::size_t end = dash + 1;
  while (end < row.size() && end < dash + 4 && row[end] >= '0' && row[end] <= '9') ++end;
  if (end == dash + 1) return -1;
  for (std::size_t i = 0; i < dash; ++i)
    if (row[i] < '0' || row[i] > '9') return -1;
  const long loop = AtoL(row.substr(0, dash));
  const long address = AtoL(row.substr(dash + 1, end - dash - 1));
  if (loop < 1 || loop > 16 || address > 255) return -1;
  return static_cast<int>((loop - 1) * 256 + address);
}

std::string DiagStatusText(Translator& translator, int code) {
  code &= 0xFF;
  std::string text;
  if (code == 0) {
    text = translator.Text(TX_DIAGOK);
  } else if (code == 255) {
    text = translator.Text(TX_DIAGUNTESTED);
  } else if ((code & 0x7F) > 10) {
    text = translator.Text(TX_DIAGINTERNAL);
  } else {
    text = translator.Text(TX_DIAGOK + (code & 0x7F) * 100);
    // Below 128 the part failed; from 128 its test is still running.
    if (code < 128) text += translator.Text(TX_DIAGFAIL);
  }
  text.resize(16, ' ');
  return text;
}

int DiagHexByte(std::string_view frame, std::size_t at) {
  if (at + 2 > frame.size()) return -1;
  int value = 0;
  for (std::size_t i = at; i < at + 2; ++i) {
    const char c = frame[i];
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return -1;
    value = value * 16 + digit;
  }
  return value;
}

bool DiagReadIdentity(int loop, std::string_view frame, std::string_view kinds,
                      DiagIdentity& identity) {
  // Kind, address, "Q", length, three fields, the 16-character text, then
  // the check sum: a shorter answer is cut off and says nothing reliable.
  constexpr std::size_t TEXTAT = 12, TEXTLEN = 16, SUM = 2;
  if (frame.size() < TEXTAT + TEXTLEN + SUM || kinds.find(frame[0]) == std::string_view::npos ||
      frame[2] != 'Q')
    return false;
  const int type = DiagHexByte(frame, 6);
  const int version = DiagHexByte(frame, 8);
  const int status = DiagHexByte(frame, 10);
  if (type < 0 || version < 0 || status < 0) return false;
  identity.device = loop * 256 + (static_cast<unsigned char>(frame[1]) & 0x7F);
  identity.type = type;
  identity.version = version;
  identity.status = status;
  identity.text.assign(frame.substr(TEXTAT, TEXTLEN));
  // The text goes into a list row and a file: no control characters.
  for (char& c : identity.text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return true;
}

// --- The list --------------------------------------------------------------

Diag::Diag(BusHost* app, int loops, int s)
    : MsgClass(app), numloops(std::clamp(loops, 1, 16)), single(s) {}

Diag::~Diag() {
  *alive = false;
  if (scanner != nullptr) scanner->SetOnChange(nullptr);
  scanner.reset();
  if (scanning && main != nullptr) main->ResumePolling();
}

void Diag::ScanLoops(std::function<void(int)> done) {
  if (scanning || main == nullptr) return;
  rows.clear();
  devices.clear();
  rowof.clear();
  ondone = std::move(done);
  ScanRequest request;
  request.startdevice = 1;
  request.enddevice = 127;
  request.loops = numloops;
  if (onlyloop >= 0) {
    request.firstloop = std::min(onlyloop, numloops - 1);
    request.loops = request.firstloop + 1;
  }
  if (single >= 0) {
    // One device: its own address on its own loop only.
    request.startdevice = request.enddevice = std::clamp(single & 0xFF, 1, 127);
    request.firstloop = single >> 8;
    request.loops = request.firstloop + 1;
  }
  request.msg = "xxQ000";
  request.extratimeout = SCANEXTRA;
  // Answers come through the scanner, which hands over only those of the
  // position it is asking.
  main->PausePolling();
  scanning = true;
  if (scanrunner) {
    // The runner points `running` at its scanner while it runs.
    const int result = scanrunner(*this, request, running);
    running = nullptr;
    FinishScan(result);
    return;
  }
  scanner = std::make_unique<Scanner>(main, *this, request);
  running = scanner.get();
  scanner->SetOnChange([this] {
    if (scanner == nullptr || scanner->GetResult() == Scanner::SCAN_RUNNING) return;
    const int result = scanner->GetResult();
    // The scanner is still inside its own call: finish after it.
    std::weak_ptr<bool> token = alive;
    main->Events().Post([this, token, result] {
      if (token.expired()) return;
      FinishScan(result);
    });
  });
  scanner->SetupWindow();
}

void Diag::CancelScan() {
  if (scanning && scanner != nullptr) scanner->AbortScan();
}

void Diag::FinishScan(int result) {
  if (!scanning) return;
  scanning = false;
  running = nullptr;
  main->ResumePolling();
  auto done = std::move(ondone);
  ondone = nullptr;
  if (done) done(result);
}

void Diag::MsgRx(int loop, const char* msg) {
  if (!scanning || msg == nullptr) return;
  DiagIdentity identity;
  if (!DiagReadIdentity(loop, msg, "<", identity)) return;
  if (single >= 0 && identity.device != single) return;
  AddItem(identity);
  if (running != nullptr) running->MessageReceived(identity.device);
}

std::string Diag::MakeRow(const DiagIdentity& identity) const {
  int type = identity.type;
  if (type < 0 || type >= Detector::GetNumberOfDetectorTypes()) type = 0;
  std::string row = DiagDeviceName(identity.device) + "\t" +
                    Detector(&main->GetTranslator()).GetTypeName(type, &main->GetINI());
  if (row.size() < TYPECOLUMNS) row.resize(TYPECOLUMNS, ' ');
  row.resize(TYPECOLUMNS);
  row +=
      Format("%.1f\t%s\t%s", identity.version * 0.1,
             DiagStatusText(main->GetTranslator(), identity.status).c_str(), identity.text.c_str());
  return row;
}

void Diag::AddItem(const DiagIdentity& identity) {
  std::string row = MakeRow(identity);
  // A device that answers again replaces its row; the index keeps a full
  // scan of every loop linear in the rows it finds.
  const auto at = rowof.find(identity.device);
  if (at != rowof.end()) {
    rows[at->second] = std::move(row);
    return;
  }
  if (devices.size() >= 16u * 255u) return;
  rowof.emplace(identity.device, rows.size());
  devices.push_back(identity.device);
  rows.push_back(std::move(row));
}

bool Diag::Save(const std::string& path) const {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = true;
  for (const std::string& row : rows) {
    ok = ok && std::fwrite(row.data(), 1, row.size(), file) == row.size();
    ok = ok && std::fwrite("\r\n", 1, 2, file) == 2;
  }
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

std::string Diag::Header() const {
  return main->GetTranslator().Text(TX_DIAGHEADER);
}

std::string Diag::PrintLine(const std::string& row) {
  std::string fields[5];
  std::size_t n = 0, start = 0;
  while (n < 5) {
    const std::size_t tab = row.find('\t', start);
    if (tab == std::string::npos || n == 4) {
      fields[n++] = row.substr(start);
      break;
    }
    fields[n++] = row.substr(start, tab - start);
    start = tab + 1;
  }
  return fields[0] + "    " + fields[1] + " " + fields[2] + "     " + fields[3] + " " + fields[4];
}

std::string Diag::ShownLine(const std::string& row, const std::string& header) {
  // Address, type, version, status, text: the type is padded inside the
  // row's first 45 characters and the version follows it without a tab.
  std::vector<std::string> fields;
  const std::size_t idend = row.find('\t');
  if (idend == std::string::npos) return row;
  fields.push_back(row.substr(0, idend));
  const std::size_t typeend = std::min(row.size(), std::max(TYPECOLUMNS, idend + 1));
  fields.push_back(row.substr(idend + 1, typeend - idend - 1));
  std::size_t start = typeend;
  for (int i = 0; i < 2; ++i) {
    const std::size_t tab = row.find('\t', start);
    fields.push_back(row.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    start = tab == std::string::npos ? row.size() : tab + 1;
  }
  fields.push_back(row.substr(start));
  for (std::string& field : fields) {
    while (!field.empty() && field.back() == ' ') field.pop_back();
    while (!field.empty() && field.front() == ' ') field.erase(0, 1);
  }

  std::vector<std::size_t> columns{0};
  for (std::size_t i = 2; i < header.size(); ++i)
    if (header[i] != ' ' && header[i - 1] == ' ' && header[i - 2] == ' ') columns.push_back(i);
  if (columns.size() != fields.size()) columns = {0, 12, 35, 45, 63};

  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line.resize(std::max(line.size() + 1, columns[i]), ' ');
    line += fields[i];
  }
  return line;
}

std::string Diag::ClosingEvent(const std::string& user) const {
  if (single >= 0) return Format("Run diagnostics on device %d by user '%s'", single, user.c_str());
  return Format("Enter diagnostics by user '%s'", user.c_str());
}

}  // namespace quillark
