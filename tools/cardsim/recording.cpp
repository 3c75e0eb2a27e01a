#include "cardsim/recording.h"

#include <vector>

#include "format/record_kind.h"
#include "format/sector.h"

namespace qb::cardsim {

bool RecordSession(CardImage& image, TransmissionSource& source, const RecordOptions& options,
                   RecordReport& report, std::string& error) {
  report = RecordReport();
  CardLayout& layout = report.layout;
  WritePosition position;
  if (!ReadCardLayout(image, layout, error) || !FindWritePosition(image, layout, position, error))
    return false;
  if (options.fillLast && layout.ring) {
    error = "filling the last sector applies to linear cards only";
    return false;
  }
  CardWriter writer(image, layout, position, options.fillLast);

  const uint8_t start = kControlStart;
  CardWriter::Result result = writer.AppendRecord(kKindControl, &start, 1);
  report.full = result == CardWriter::Result::kFull;
  std::vector<uint8_t> transmission;
  while (result != CardWriter::Result::kError && source.Next(transmission)) {
    // Once the card is full the device takes nothing more, however short.
    if (!report.full) {
      result = writer.AppendTransmission(transmission.data(), transmission.size());
      report.full = result == CardWriter::Result::kFull;
    }
    if (result == CardWriter::Result::kWritten)
      ++report.transmissions;
    else if (report.full)
      ++report.dropped;
  }
  // What was recorded goes onto the card even when something failed.
  bool finished = writer.Finish();
  if (result == CardWriter::Result::kError || !finished) {
    error = writer.error();
    return false;
  }
  if (!source.error().empty()) {
    error = source.error();
    return false;
  }

  report.records = writer.recordsWritten();
  report.sectors = writer.sectorsBegun();
  report.newest = writer.newest();
  report.sequence = writer.sequence();
  uint8_t sector[kSectorSize];
  if (!image.Read(report.newest, sector)) {
    error = image.error();
    return false;
  }
  report.fill = SectorFillLevel(sector);
  report.start = ReadStartSector(image, layout, report.newest);
  report.wrapped = layout.ring && report.sequence > layout.Last();
  return true;
}

}  // namespace qb::cardsim
