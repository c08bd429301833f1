// The texts of the update run, in the language its users read.
#pragma once

namespace pavana {

inline constexpr const char* kStatusAtualizando = "Realizando atualizações na base. Aguarde... ";
inline constexpr const char* kErroConexao =
    "Erro na conexão com a base de dados.\r\nVerifique a opção detalhes para maiores informações.";
inline constexpr const char* kNumeroParametrosInvalido = "Número de parâmetros invalido.";
inline constexpr const char* kErroExecucaoComando =
    "Erro na execução do comando %s.\r\nVerifique a opção detalhes para maiores informações.";

}  // namespace pavana
