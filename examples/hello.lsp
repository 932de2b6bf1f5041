;;; hello.lsp - greets the user and counts the drawing's layers.

(defun greet (name / msg)
  (setq msg (strcat "Hello, " name "!"))   ; build the greeting
  (princ msg)
  (princ "\n")
  msg)

(defun count-layers (/ n lay)
  (setq n 0
        lay (tblnext "LAYER" T))
  (while lay
    (setq n (1+ n)
          lay (tblnext "LAYER")))
  n)

(defun c:hello ()
  (greet (getvar "LOGINNAME"))
  (princ (strcat "Layers: " (itoa (count-layers)) " (incl. \"0\")"))
  (princ))
