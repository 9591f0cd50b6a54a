#include "table/xml_reader.h"

#include <expat.h>

#include <utility>

namespace egn::table {

namespace {

constexpr int kPiece = 64 * 1024;

// Expat's words for what is wrong, for the faults a damaged or cut part
// shows; its own (English) words for the rarer ones.
std::string ErrorText(XML_Error code) {
  switch (code) {
    case XML_ERROR_NO_ELEMENTS:
      return "частта свършва преди края на документа (празна или отрязана)";
    case XML_ERROR_SYNTAX:
      return "синтактична грешка";
    case XML_ERROR_INVALID_TOKEN:
      return "непозволен знак";
    case XML_ERROR_UNCLOSED_TOKEN:
    case XML_ERROR_PARTIAL_CHAR:
      return "частта свършва по средата на елемент";
    case XML_ERROR_TAG_MISMATCH:
      return "затварящият елемент не отговаря на отворения";
    case XML_ERROR_DUPLICATE_ATTRIBUTE:
      return "атрибут е даден два пъти";
    case XML_ERROR_JUNK_AFTER_DOC_ELEMENT:
      return "след края на документа има още";
    case XML_ERROR_UNDEFINED_ENTITY:
      return "непознат обект (entity)";
    case XML_ERROR_UNBOUND_PREFIX:
      return "представка без пространство от имена";
    default:
      return XML_ErrorString(code);
  }
}

}  // namespace

struct XmlReader::Parser {
  XmlReader* owner = nullptr;
  ByteSource* part = nullptr;
  std::string name;
  XmlHandler* handler = nullptr;
  XML_Parser xml = nullptr;
  bool suspended = false;  // within a piece, paused by the handler
  bool last = false;       // the piece fed was the last
  bool done = false;

  ~Parser() {
    if (xml != nullptr) XML_ParserFree(xml);
  }

  static Parser& Of(void* data) { return *static_cast<Parser*>(data); }

  static void OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    Of(data).handler->Start(name, attributes);
  }
  static void OnEnd(void* data, const XML_Char* name) { Of(data).handler->End(name); }
  static void OnText(void* data, const XML_Char* text, int length) {
    Of(data).handler->Text({text, static_cast<std::size_t>(length)});
  }
  static void OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    Parser& parser = Of(data);
    parser.owner->Fail("частта „" + parser.name +
                       "“ съдържа DOCTYPE, каквото работна книга няма: не е прочетена");
  }
  static void OnEntity(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                       const XML_Char*, const XML_Char*, const XML_Char*) {
    Parser& parser = Of(data);
    parser.owner->Fail("частта „" + parser.name +
                       "“ обявява обект (entity), каквото работна книга няма: не е прочетена");
  }
};

XmlReader::XmlReader(ByteSource& part, std::string part_name, XmlHandler& handler)
    : parser_(std::make_unique<Parser>()) {
  Parser& parser = *parser_;
  parser.owner = this;
  parser.part = &part;
  parser.name = std::move(part_name);
  parser.handler = &handler;
  parser.xml = XML_ParserCreateNS(nullptr, '|');
  if (parser.xml == nullptr) {
    problem_ = "няма памет за четене на частта „" + parser.name + "“";
    return;
  }
  XML_SetUserData(parser.xml, &parser);
  XML_SetElementHandler(parser.xml, Parser::OnStart, Parser::OnEnd);
  XML_SetCharacterDataHandler(parser.xml, Parser::OnText);
  XML_SetStartDoctypeDeclHandler(parser.xml, Parser::OnDoctype);
  XML_SetEntityDeclHandler(parser.xml, Parser::OnEntity);
  XML_SetParamEntityParsing(parser.xml, XML_PARAM_ENTITY_PARSING_NEVER);
}

XmlReader::~XmlReader() = default;

XmlReader::Status XmlReader::Parse() {
  Parser& parser = *parser_;
  if (!problem_.empty()) return Status::kFailed;
  if (parser.done) return Status::kDone;
  for (;;) {
    XML_Status status;
    if (parser.suspended) {
      parser.suspended = false;
      status = XML_ResumeParser(parser.xml);
    } else {
      void* buffer = XML_GetBuffer(parser.xml, kPiece);
      if (buffer == nullptr) {
        problem_ = "няма памет за четене на частта „" + parser.name + "“";
        return Status::kFailed;
      }
      const long read = parser.part->Read(static_cast<char*>(buffer), kPiece);
      if (read < 0) {
        problem_ = parser.part->Problem();
        return Status::kFailed;
      }
      parser.last = read == 0;
      status =
          XML_ParseBuffer(parser.xml, static_cast<int>(read), parser.last ? XML_TRUE : XML_FALSE);
    }
    if (status == XML_STATUS_SUSPENDED) {
      parser.suspended = true;
      return Status::kPaused;
    }
    if (status == XML_STATUS_ERROR) {
      if (problem_.empty()) {
        problem_ = "частта „" + parser.name + "“ не е правилен XML: ред " +
                   std::to_string(XML_GetCurrentLineNumber(parser.xml)) + ": " +
                   ErrorText(XML_GetErrorCode(parser.xml));
      }
      return Status::kFailed;
    }
    if (parser.last) {
      parser.done = true;
      return Status::kDone;
    }
  }
}

void XmlReader::Pause() { XML_StopParser(parser_->xml, XML_TRUE); }

void XmlReader::Fail(std::string problem) {
  if (problem_.empty()) problem_ = std::move(problem);
  XML_StopParser(parser_->xml, XML_FALSE);
}

std::uint64_t XmlReader::EventOffset() const {
  return static_cast<std::uint64_t>(XML_GetCurrentByteIndex(parser_->xml));
}

int XmlReader::EventLength() const { return XML_GetCurrentByteCount(parser_->xml); }

}  // namespace egn::table
