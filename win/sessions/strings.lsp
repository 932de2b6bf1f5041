(setq s "a \"quoted\" (paren ; semi")
(foo (bar) ; comment (
  baz)
)
(cond
  ((= a 1) "one")
  (T nil))
"unfinished string\