#include "sync/SyaException.h"

#include <array>

#include "core/Messages.h"

namespace sya {
namespace {

using core::MessageText;

// Sorted by id.
constexpr std::array kTexts{
    MessageText{2020, "Database name longer than 31 characters!", "Nome do Banco de Dados tem mais de 31 caracteres!"},
    MessageText{2030, "Invalid Database name!", "Nome do Banco de Dados inválido!"},
    MessageText{2040, "Creator ID must have 4 characters!", "CreatorID deve ter 4 caracteres!"},
    MessageText{2050, "Invalid Creator ID!", "CreatorID inválido!"},
    MessageText{2060, "Database Type must have 4 characters!", "DatabaseType deve ter 4 caracteres!"},
    MessageText{2070, "Invalid DatabaseType!", "DatabaseType Inválido!"},
    MessageText{2080, "PDB Filename must have .PDB extension!", "Nome do Arquivo PDB deve ter a extensão .PDB!"},
    MessageText{2090, "Invalid Filename!", "Nome do Arquivo Inválido!"},
    MessageText{2100, "Can´t change Open Mode while Database is open!",
                "Não é possível mudar o tipo de abertura de um Banco de Dados aberto!"},
    MessageText{2110, "Database not Open!", "Banco de Dados não está aberto!"},
    MessageText{2120, "Record does not exist!", "Registro não existe!"},
    MessageText{2150, "Error allocating memory for Record!", "Não é possível alocar memória para o Registro!"},
    MessageText{2160, "Error reading Record!", "Não é possível ler o Registro!"},
    MessageText{2170, "Cannot get record from a Write-Only Database!",
                "Não é possível obter um registro de um Banco de Dados exclusivo para gravação!"},
    MessageText{2190, "Database not open!", "Banco de Dados não está aberto!"},
    MessageText{2340, "Database is empty!", "Banco de Dados está vazio!"},
    MessageText{2350, "Cursor is already positioned beyond the last Record!",
                "Cursor já está posicionado depois do último Registro!"},
    MessageText{2360, "Error locating AppInfo Block!", "Não é possível localizar AppInfo Block!"},
    MessageText{2370, "Could not allocate memory for AppInfo Block!", "Não é possível alocar memória para o AppInfo Block!"},
    MessageText{2380, "Could not read AppInfo Block!", "Não é possível ler o AppInfo Block!"},
    MessageText{2400, "Error locating SortInfo Block!", "Não é possível localizar SortInfo Block!"},
    MessageText{2410, "Could not allocate memory for SortInfo Block!",
                "Não é possível alocar memória para o SortInfo Block!"},
    MessageText{2420, "Could not read SortInfo Block!", "Não é possível ler o SortInfo Block!"},
    MessageText{2430, "Database already open!", "Banco de Dados já está aberto!"},
    MessageText{2440, "Directory was not informed!", "Diretório não foi informado!"},
    MessageText{2450, "Filename was not informed!", "Nome do Arquivo PDB não foi informado!"},
    MessageText{2460, "PDB File does not exist!", "Arquivo PDB não existe!"},
    MessageText{2470, "Error assigning PDB File!", "Erro associando Arquivo PDB!"},
    MessageText{2480, "Error opening PDB File!", "Erro de abertura do Arquivo PDB!"},
    MessageText{2490, "File is not in Palm Database Format (PDB)!", "Arquivo não está no formato Palm Database (PDB)!"},
    MessageText{2510, "Cannot open a Write-Only Database!",
                "Não é possível abrir um Banco de Dados exclusivo para gravação!"},
    MessageText{2520, "Error reading AppInfo Block!", "Erro de leitura do AppInfo Block!"},
    MessageText{2530, "Error reading SortInfo Block!", "Erro de leitura do SortInfo Block!"},
    MessageText{2540, "Cannot write to a Read-Only Database!",
                "Não é possível criar um Banco de Dados exclusivo para leitura!"},
    MessageText{2550, "Database is open!", "Banco de Dados está aberto!"},
    MessageText{2560, "Directory was not informed!", "Diretório não foi informado!"},
    MessageText{2570, "Filename was not informed!", "Nome do Arquivo PDB não foi informado!"},
    MessageText{2580, "CreatorID was not properly informed!", "CreatorID não foi corretamente informado!"},
    MessageText{2590, "DatabaseType was not properly informed!", "DatabaseType não foi corretamente informado!"},
    MessageText{2600, "Error creating PDB File!", "Não é possível criar o arquivo PDB!"},
    MessageText{2610, "Database Name was not informed!", "Nome do Banco de Dados não foi informado!"},
    MessageText{2620, "Database cannot hold more than 65535 records!",
                "Banco de Dados não pode ter mais de 65535 registros!"},
    MessageText{2660, "Record is not stored as detailed in Fields structure!",
                "Registro não está de acordo com a estrutura de campos especificada!"},
};

constexpr core::MessageTable kTable{kTexts};

}  // namespace

std::string LoadSyaMessage(int id) { return kTable.Load(id); }

void RaisePDBError(int id, std::uint16_t errorCode) { throw EPDBException(LoadSyaMessage(id), errorCode); }

void RaisePDBError(int id, std::uint16_t errorCode, std::string_view context) {
  throw EPDBException(core::WithContext(LoadSyaMessage(id), context), errorCode);
}

}  // namespace sya
