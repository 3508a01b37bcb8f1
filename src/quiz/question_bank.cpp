// The twelve questions as the player sees them, byte for byte, and the asking of one.
#include "quiz.h"

using namespace std::string_view_literals;

static constexpr std::string_view Lines1[] = {
    "Kako se zove programski jezik u kome je ova igra napisana? "};
static constexpr std::string_view Lines2[] = {
    "Koji tip varijabli ima samo cjelobrojne vrijednosti?"};
static constexpr std::string_view Lines3[] = {
    "DIV u integeru oznacava:", "1) Podjeli dva broja a ostatak zanemari.",
    "2) Podjeli dva broja a ispisi ostatak.", "1/2?"};
static constexpr std::string_view Lines4[] = {
    "Koji tip varijabli korisimo za rad sa realnim brojevima?"};
static constexpr std::string_view Lines5[] = {"Koju naredbu korisimo za korjenovanje izraza?"};
static constexpr std::string_view Lines6[] = {
    "Koji tip varijabli ima samo 2 stanja (TRUE i FALSE)?"};
static constexpr std::string_view Lines7[] = {
    "Varijablom tipa CHAR mozemo da zapamtimo svaki unos sa tastature", "u duzini od jednog znaka.",
    "1) Da.", "2) Ne."};
static constexpr std::string_view Lines8[] = {
    "Da li u INTEGERU mozemo da koristimo znak za djeljenje (/)?", "1) Da.", "2) Ne."};
static constexpr std::string_view Lines9[] = {"Program napisan u Paskalu se:", "1) Kompajlira.",
                                              "2) Interpretira."};
static constexpr std::string_view Lines10[] = {
    "U izrazu s:=1000*1000, varijabla \"s\" mora biti iz skupa:", "1) Integer.", "2) Real."};
static constexpr std::string_view Lines11[] = {"Svaka procedure moze da zamjeni funkciju.",
                                               "1) Da.", "2) Ne."};
static constexpr std::string_view Lines12[] = {
    "Funkcija moze sadrzavati naredbu \"write\" i \"raed\"?", "1) Da.", "2) Ne."};

const TQuestion QuestionBank[QuestionCount] = {
    {Lines1, false, "paskal"}, {Lines2, false, "integer"}, {Lines3, true, "1"},
    {Lines4, false, "real"},   {Lines5, false, "sqrt"},    {Lines6, false, "boolean"},
    {Lines7, false, "1"},      {Lines8, false, "2"},       {Lines9, false, "1"},
    {Lines10, false, "2"},     {Lines11, false, "1"},      {Lines12, false, "2"},
};

void PrintQuestion(int K) {
  const TQuestion& Question = QuestionBank[K - 1];
  for (std::size_t I = 0; I < Question.Lines.size(); ++I) {
    EmitString(StdOutText, Question.Lines[I], 0);
    if (Question.EndsInPrompt && I + 1 == Question.Lines.size())
      EndWriteStatement(StdOutText);
    else
      EmitLineBreak(StdOutText);
    CheckIo();
  }
}

void AskQuestion(int K) {
  PrintQuestion(K);
  ExpectedAnswer = QuestionBank[K - 1].Answer;
  CheckAnswer();
}
