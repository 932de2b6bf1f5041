; Windows-way text: CR LF line ends, a lone CR, control-Z ends the file.
(defun f (a)
  (princ "x\ry")  (* a 2))
(f 1)
(after the end of text)
