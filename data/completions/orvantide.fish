# fish completion for orvantide: subcommands, options, kinds and the ids of the history's clips.
set -l commands list get copy add delete pin unpin clear pause resume toggle status quit
complete -c orvantide -f
complete -c orvantide -n "not __fish_seen_subcommand_from $commands" -a list -d 'lista los clips'
complete -c orvantide -n "not __fish_seen_subcommand_from $commands" -a get -d 'escribe el contenido del clip'
complete -c orvantide -n "not __fish_seen_subcommand_from $commands" -a copy -d 'pone el clip en el portapapeles'
complete -c orvantide -n "not __fish_seen_subcommand_from $commands" -a add -d 'guarda la entrada estándar como un clip'
complete -c orvantide -n "not __fish_seen_subcommand_from $commands" -a delete -d 'borra el clip'
complete -c orvantide -n "not __fish_seen_subcommand_from $commands" -a pin -d 'fija el clip'
complete -c orvantide -n "not __fish_seen_subcommand_from $commands" -a unpin -d 'deja de fijarlo'
complete -c orvantide -n "not __fish_seen_subcommand_from $commands" -a clear -d 'borra todos los clips no fijados'
complete -c orvantide -n "not __fish_seen_subcommand_from $commands" -a pause -d 'deja de guardar lo que se copia'
complete -c orvantide -n "not __fish_seen_subcommand_from $commands" -a resume -d 'vuelve a guardarlo'
complete -c orvantide -n "not __fish_seen_subcommand_from $commands" -a toggle -d 'abre o cierra la paleta'
complete -c orvantide -n "not __fish_seen_subcommand_from $commands" -a status -d 'dice cuántos clips hay, la pausa y los servicios'
complete -c orvantide -n "not __fish_seen_subcommand_from $commands" -a quit -d 'cierra la instancia en marcha'
complete -c orvantide -n "not __fish_seen_subcommand_from $commands" -l toggle -d 'abre o cierra la paleta'
complete -c orvantide -n "not __fish_seen_subcommand_from $commands" -l service -d 'inicia la instancia sin abrir nada'
complete -c orvantide -n "not __fish_seen_subcommand_from $commands" -l version -d 'muestra la versión'
complete -c orvantide -n "not __fish_seen_subcommand_from $commands" -l help -d 'muestra la ayuda'
complete -c orvantide -n "__fish_seen_subcommand_from list" -l limit -x -d 'como mucho N clips'
complete -c orvantide -n "__fish_seen_subcommand_from list" -l kind -x -a 'texto imagen color archivos' -d 'solo de un tipo'
complete -c orvantide -n "__fish_seen_subcommand_from list" -l search -x -d 'los que contienen TEXTO'
complete -c orvantide -n "__fish_seen_subcommand_from list status" -l json -d 'en JSON'
complete -c orvantide -n "__fish_seen_subcommand_from list" -s 0 -l null -d 'terminados en NUL'
complete -c orvantide -n "__fish_seen_subcommand_from add" -l type -x -a 'text/plain text/html text/uri-list image/png image/jpeg' -d 'el tipo MIME de la entrada'
# `orvantide list` writes "id<TAB>kind<TAB>pin<TAB>title": fish shows what follows the id as its
# description.
complete -c orvantide -n "__fish_seen_subcommand_from get copy delete pin unpin; and test (count (commandline -opc)) -eq 2" -x -a '(orvantide list 2>/dev/null)'
